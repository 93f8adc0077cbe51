#pragma once

#include "platform/Screen.h"
#include "speech/NotificationView.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QTimer>
#include <QWidget>

class QPlainTextEdit;

namespace gabblet {

// TheNone: the plain window that shows speech when no character is chosen,
// with its screen effects. Geometry is kept in twips like the stored size
// keys; effects run frame by frame on the GUI thread, letting other events
// run between frames.
class NotificationWindow : public QWidget, public NotificationView {
    Q_OBJECT
public:
    // sharedSettingsFile: where TheNoneWidth/TheNoneHeight live.
    // frameIntervalMs: pause between effect frames (0 in tests).
    NotificationWindow(const QString& sharedSettingsFile, const ScreenMetrics& screen,
                       int frameIntervalMs = 10, QWidget* parent = nullptr);
    ~NotificationWindow() override;

    void ProcText(const QString& text) override;
    void appendLineBreak() override;
    void Animation(const QString& name) override;
    void DoHide(bool immediate) override;
    void MoveTo(int x, int y) override;
    void showTopmost() override;
    void dropTopmost() override;
    void placeAt(int left, int top) override;
    bool isVisible() const override;

    void zoomin();
    void zoomout();
    void zoomtocentre1();
    void zoomtocentre2();
    void zoomandmove(double x1, double y1, double x2, double y2, double w1, double h1, double w2,
                     double h2, int step, bool scale);

    // Geometry in twips.
    QRect twipsGeometry() const;
    void setTwipsGeometry(const QRect& twips);
    QString text() const;
    bool rainbowRunning() const;

Q_SIGNALS:
    // One per effect frame, with the geometry it set (twips); tests count them.
    void frameShown(const QRect& twips);
    // The window was unloaded (hidden for good) and stored its size.
    void unloaded();

private:
    // to be filled in with the implementation
};

} // namespace gabblet
