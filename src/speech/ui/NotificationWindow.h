#pragma once

#include "platform/ScreenMetrics.h"
#include "speech/NotificationView.h"

#include <QColor>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <functional>

class QPlainTextEdit;
class QSizeGrip;
class QToolButton;

namespace gabblet {

// TheNone: the plain window that shows speech when no character is chosen,
// with its screen effects. Geometry is kept in twips like the stored size
// keys; effects run frame by frame on the GUI thread, letting other events
// run between frames.
class NotificationWindow final : public QWidget, public NotificationView {
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

    // Stores the size a loaded window has now, as its unload would; an
    // unloaded window has nothing to store.
    void keepSize();

    // Geometry in twips.
    QRect twipsGeometry() const;
    void setTwipsGeometry(const QRect& twips);
    QString text() const;
    bool rainbowRunning() const;

    // Records every child control's place as fractions of the window's size,
    // and puts the controls back at those fractions of the current size.
    void initscalecontrols();
    void ScaleControls();

    // The panel colour the window paints now (the spectrum colour while the
    // colour effect runs).
    QColor backgroundColour() const { return background_; }
    double wavelength() const { return wavelength_; }
    // One tick of the colour effect (the colour timer calls it every 10 ms).
    void rainbowStep();
    // The colour of light of a wavelength between 380 and 780 nm.
    static QColor spectrumColour(double nanometres);

    // Test hooks: the hide delay of DoHide(false) and the "delay" pause.
    void setHideDelayMs(int ms) { hideDelayMs_ = ms; }
    int hideDelayMs() const { return hideDelayMs_; }
    void setDelayMs(int ms) { delayMs_ = ms; }
    int delayMs() const { return delayMs_; }

Q_SIGNALS:
    // One per effect frame, with the geometry it set (twips); tests count them.
    void frameShown(const QRect& twips);
    // The window was unloaded (hidden for good) and stored its size.
    void unloaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct ControlPlace {
        QPointer<QWidget> control;
        double left, top, width, height;
    };

    void load();
    void ensureLoaded();
    void unload();
    void storeSize(QSize twips);
    void showWindow();
    void setTopmost(bool on);
    void setBackground(const QColor& colour, bool rainbow);
    void appendPiece(const QString& piece);

    double tpp() const;
    QRect pixelsOf(const QRect& twips) const;
    void applyGeometry(const QRect& twips);
    void adoptWidgetGeometry();
    void layoutChildren();
    void updateShape();

    // Effects run one at a time; one asked for while another runs (from an
    // event handled between frames) waits in pendingEffects_.
    void runEffect(std::function<void()> effect);
    void beginFrames();
    bool frame(double left, double top, double width, double height, quint64 generation);
    bool pace(quint64 generation);
    void doZoomin();
    void doZoomout();
    void doMoveTo(int x, int y);
    void doZoomAndMove(double x1, double y1, double x2, double y2, double w1, double h1, double w2,
                       double h2, int step, bool scale);
    void zoomToCentre(bool scale);

    QString settingsFile_;
    const ScreenMetrics& screen_;
    int frameIntervalMs_;
    int hideDelayMs_ = 5000;
    int delayMs_ = 2000;

    QPlainTextEdit* text1_ = nullptr;
    QToolButton* closeButton_ = nullptr;
    QSizeGrip* grip_ = nullptr;

    bool loaded_ = false;
    QRect geom_;          // twips, what callers see
    QRect lastAppliedPx_; // what we last asked of the window system
    bool applying_ = false;
    QString text_;

    bool busy_ = false;
    bool scaling_ = false;
    QRect effectRest_;       // where the running effect leaves the window
    quint64 generation_ = 0; // bumped by unload to stop a running effect
    QList<std::function<void()>> pendingEffects_;
    QElapsedTimer frameClock_;
    qint64 frameNo_ = 0;
    QList<ControlPlace> places_;

    QTimer hideTimer_;
    QTimer colourTimer_;
    QColor background_;
    bool rainbowColour_ = false;
    double wavelength_ = 380;
    int direction_ = 1;
    int counters_[3] = {0, 0, 0};

    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace gabblet
