#pragma once

#include <QString>

namespace gabblet {

// The notification window, where speech goes when no character is chosen.
// Positions and sizes are in twips.
class NotificationView {
public:
    virtual ~NotificationView() = default;
    // Appends text word by word.
    virtual void ProcText(const QString& text) = 0;
    // Appends a line break directly (the end of one speech).
    virtual void appendLineBreak() = 0;
    // Runs a named effect (zoomin, appear, rainbow, delay, ...); unknown names do nothing.
    virtual void Animation(const QString& name) = 0;
    // Hides now, or 5 seconds from now.
    virtual void DoHide(bool immediate) = 0;
    // Glides the top-left corner to (x, y).
    virtual void MoveTo(int x, int y) = 0;
    virtual void showTopmost() = 0;
    virtual void dropTopmost() = 0;
    // Hides the window, puts its top-left corner at (left, top) and shows it.
    virtual void placeAt(int left, int top) = 0;
    virtual bool isVisible() const = 0;
};

} // namespace gabblet
