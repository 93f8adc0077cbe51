#include "DesktopScreen.h"

#include <QGuiApplication>
#include <QScreen>

namespace gabblet {

QRect DesktopScreen::geometry() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

double DesktopScreen::twipsPerPixel() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

} // namespace gabblet
