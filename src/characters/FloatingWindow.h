#pragma once

#include <QGuiApplication>

namespace gabblet {

// What a character's window and its balloon share: frameless, above the other
// windows, never taking the focus from what the user is doing.
inline constexpr Qt::WindowFlags kFloatingWindow =
    Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::WindowDoesNotAcceptFocus;

// Headless platforms have no window shapes (and say so for every frame).
inline bool windowShapesSupported() {
    static const bool supported = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                  QGuiApplication::platformName() != QLatin1String("minimal");
    return supported;
}

} // namespace gabblet
