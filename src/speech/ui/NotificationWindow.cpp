#include "NotificationWindow.h"

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Wait.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTextDocument>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace gabblet {

namespace {

constexpr int kDefaultWidth = 4800;
constexpr int kDefaultHeight = 2835;
constexpr int kColourTickMs = 10;

// Panel layout in pixels: a title strip with the close button on top, the
// text below it, a resize grip in the corner.
constexpr int kMargin = 9;
constexpr int kTitleHeight = 24;
constexpr int kGrip = 12;
constexpr double kRadius = 10.0;

const QColor kRestingPanel(0xd3, 0xde, 0xee);
const QColor kTextColour(0x1d, 0x24, 0x30);

int whole(double v) {
    return static_cast<int>(std::nearbyint(v));
}

QRect roundedRect(double left, double top, double width, double height) {
    return QRect(whole(left), whole(top), whole(width), whole(height));
}

// Platforms that show nothing to anyone (tests, servers) have no window
// shapes or stacking order, and warn about every attempt.
bool headless() {
    static const bool none = QGuiApplication::platformName() == QLatin1String("offscreen") ||
                             QGuiApplication::platformName() == QLatin1String("minimal");
    return none;
}

bool isDark(const QColor& c) {
    return 0.299 * c.red() + 0.587 * c.green() + 0.114 * c.blue() < 140;
}

} // namespace

NotificationWindow::NotificationWindow(const QString& sharedSettingsFile,
                                       const ScreenMetrics& screen, int frameIntervalMs,
                                       QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      settingsFile_(sharedSettingsFile), screen_(screen),
      frameIntervalMs_(std::max(0, frameIntervalMs)), background_(kRestingPanel) {
    setObjectName(QStringLiteral("TheNone"));
    setWindowTitle(QStringLiteral("Gabblet"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);

    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setReadOnly(true);
    text1_->setFrameShape(QFrame::NoFrame);
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setFocusPolicy(Qt::NoFocus);
    text1_->viewport()->setAutoFillBackground(false);
    // The panel paints a light card behind the text, so the text stays
    // readable whatever colour the panel has.
    QPalette pal = text1_->palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, kTextColour);
    text1_->setPalette(pal);
    QFont font = text1_->font();
    font.setPointSizeF(11);
    text1_->setFont(font);
    text1_->document()->setDocumentMargin(6);

    closeButton_ = new QToolButton(this);
    closeButton_->setObjectName(QStringLiteral("CloseButton"));
    closeButton_->setText(QStringLiteral("\u00d7"));
    closeButton_->setToolTip(tr("Close"));
    closeButton_->setAutoRaise(true);
    closeButton_->setFocusPolicy(Qt::NoFocus);
    connect(closeButton_, &QToolButton::clicked, this, [this] { DoHide(true); });

    grip_ = new QSizeGrip(this);

    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, [this] { unload(); });
    colourTimer_.setInterval(kColourTickMs);
    connect(&colourTimer_, &QTimer::timeout, this, [this] { rainbowStep(); });

    load();
}

// Nothing is written here: whether leaving the program keeps the size is the
// exit's decision (an exit without saving leaves every file as it was).
NotificationWindow::~NotificationWindow() = default;

void NotificationWindow::keepSize() {
    if (loaded_)
        storeSize(busy_ ? effectRest_.size() : geom_.size());
}

// ---- Loading and unloading ----

// A fresh window: the stored size (or the default for a missing, too small
// or unreadable one), in the lower right corner of the screen, empty.
void NotificationWindow::load() {
    const auto stored = [this](const char* key, int fallback) {
        const QString value =
            ReadIniKey(settingsFile_, QLatin1String(key), QString::number(fallback));
        return toInt32(leadingNumber(value)).value_or(0);
    };
    int width = stored("TheNoneWidth", kDefaultWidth);
    int height = stored("TheNoneHeight", kDefaultHeight);
    if (width < 3001 || height < 1501) {
        width = kDefaultWidth;
        height = kDefaultHeight;
    }
    // A size beyond the screen can only come from a damaged file or another
    // monitor; such a window could not be seen whole or grabbed to resize.
    const QRect screenPx = screen_.geometry();
    const QRect screenTw = roundedRect(screenPx.x() * tpp(), screenPx.y() * tpp(),
                                       screenPx.width() * tpp(), screenPx.height() * tpp());
    width = std::min(width, std::max(screenTw.width(), kDefaultWidth));
    height = std::min(height, std::max(screenTw.height(), kDefaultHeight));

    const int left = std::max(screenTw.left(), screenTw.right() + 1 - width - whole(24 * tpp()));
    const int top = std::max(screenTw.top(), screenTw.bottom() + 1 - height - whole(64 * tpp()));

    text_.clear();
    text1_->clear();
    setBackground(kRestingPanel, false);
    wavelength_ = 380;
    direction_ = 1;
    std::fill(std::begin(counters_), std::end(counters_), 0);
    loaded_ = true;
    applyGeometry(QRect(left, top, width, height));
}

void NotificationWindow::ensureLoaded() {
    if (!loaded_)
        load();
}

// Unloading hides the window for good: timers stop, any running effect ends,
// the size is stored and the text goes, so the next speech starts in a fresh
// window. The object itself stays, since the speech code keeps using it.
void NotificationWindow::unload() {
    hideTimer_.stop();
    if (!loaded_)
        return;
    colourTimer_.stop();
    // In the middle of an effect the window's size is a passing one; store
    // the size the effect would have left it at.
    const QSize size = busy_ ? effectRest_.size() : geom_.size();
    ++generation_;
    pendingEffects_.clear();
    loaded_ = false;
    hide();
    storeSize(size);
    text_.clear();
    text1_->clear();
    setBackground(kRestingPanel, false);
    wakeWaiters();
    Q_EMIT unloaded();
}

void NotificationWindow::storeSize(QSize twips) {
    WriteIniKey(settingsFile_, QStringLiteral("TheNoneWidth"), numberText(twips.width()));
    WriteIniKey(settingsFile_, QStringLiteral("TheNoneHeight"), numberText(twips.height()));
}

// ---- Speech entry points ----

void NotificationWindow::ProcText(const QString& text) {
    ensureLoaded();
    QString t = text;
    while (t.contains(QLatin1String("  ")))
        t.replace(QLatin1String("  "), QLatin1String(" "));
    // Each word goes in with the blank before it, and is drawn before the
    // next one follows.
    qsizetype start = 0;
    while (start < t.size()) {
        qsizetype end = t.indexOf(QLatin1Char(' '), start + 1);
        if (end < 0)
            end = t.size();
        appendPiece(t.mid(start, end - start));
        start = end;
    }
}

void NotificationWindow::appendLineBreak() {
    ensureLoaded();
    appendPiece(kCrLf);
}

void NotificationWindow::appendPiece(const QString& piece) {
    text_ += piece;
    QString shown = piece;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor cursor = text1_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    text1_->setTextCursor(cursor);
    text1_->ensureCursorVisible();
    text1_->viewport()->repaint();
}

void NotificationWindow::Animation(const QString& name) {
    const QString n = name.toLower();
    if (n == QLatin1String("zoomin")) {
        zoomin();
    } else if (n == QLatin1String("zoomout")) {
        zoomout();
    } else if (n == QLatin1String("appear")) {
        ensureLoaded();
        showWindow();
    } else if (n == QLatin1String("hide")) {
        hide();
    } else if (n == QLatin1String("zoomtocentre1")) {
        zoomtocentre1();
    } else if (n == QLatin1String("zoomtocentre2")) {
        zoomtocentre2();
    } else if (n == QLatin1String("rainbow")) {
        ensureLoaded();
        colourTimer_.start();
    } else if (n == QLatin1String("rainbowoff")) {
        colourTimer_.stop();
        setBackground(kRestingPanel, false);
    } else if (n == QLatin1String("delay")) {
        // A pause in the speech, not in the program: events go on meanwhile.
        waitUntil([] { return false; }, delayMs_);
    }
}

void NotificationWindow::DoHide(bool immediate) {
    if (immediate) {
        unload();
        return;
    }
    hideTimer_.start(hideDelayMs_);
}

void NotificationWindow::MoveTo(int x, int y) {
    runEffect([this, x, y] { doMoveTo(x, y); });
}

void NotificationWindow::showTopmost() {
    ensureLoaded();
    setTopmost(true);
    showWindow();
}

void NotificationWindow::dropTopmost() {
    setTopmost(false);
}

void NotificationWindow::placeAt(int left, int top) {
    runEffect([this, left, top] {
        ensureLoaded();
        hide();
        applyGeometry(QRect(QPoint(left, top), geom_.size()));
        showWindow();
    });
}

bool NotificationWindow::isVisible() const {
    return QWidget::isVisible();
}

// Every way of showing the window belongs to a new speech, which must not be
// cut short by the hide timer a previous speech started.
void NotificationWindow::showWindow() {
    hideTimer_.stop();
    show();
    if (!headless())
        raise();
}

// Changing window flags through QWidget re-creates and hides the window; the
// window handle takes the on-top hint without that.
void NotificationWindow::setTopmost(bool on) {
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == windowFlags())
        return;
    if (QWindow* handle = windowHandle()) {
        overrideWindowFlags(flags);
        handle->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
}

QRect NotificationWindow::twipsGeometry() const {
    return geom_;
}

void NotificationWindow::setTwipsGeometry(const QRect& twips) {
    ensureLoaded();
    applyGeometry(twips);
}

QString NotificationWindow::text() const {
    return text_;
}

bool NotificationWindow::rainbowRunning() const {
    return colourTimer_.isActive();
}

// ---- Geometry ----

double NotificationWindow::tpp() const {
    const double t = screen_.twipsPerPixel();
    return t > 0 ? t : 15.0;
}

// The window system cannot show an empty window, so the smallest one is a
// pixel; the twips geometry keeps the true size.
QRect NotificationWindow::pixelsOf(const QRect& twips) const {
    const double t = tpp();
    return QRect(whole(twips.left() / t), whole(twips.top() / t),
                 std::max(1, whole(twips.width() / t)), std::max(1, whole(twips.height() / t)));
}

void NotificationWindow::applyGeometry(const QRect& twips) {
    geom_ = twips;
    const QRect px = pixelsOf(twips);
    lastAppliedPx_ = px;
    applying_ = true;
    setGeometry(px);
    applying_ = false;
    if (scaling_)
        ScaleControls();
    else
        layoutChildren();
    updateShape();
}

// A move or resize the program did not ask for comes from the user dragging
// the window or its grip: take it over, so the size is stored on unload.
void NotificationWindow::adoptWidgetGeometry() {
    if (applying_ || busy_ || !loaded_ || !QWidget::isVisible())
        return;
    const QRect px = geometry();
    if (px == lastAppliedPx_)
        return;
    const double t = tpp();
    QRect twips = geom_;
    if (px.topLeft() != lastAppliedPx_.topLeft())
        twips.moveTopLeft(QPoint(whole(px.x() * t), whole(px.y() * t)));
    if (px.size() != lastAppliedPx_.size())
        twips.setSize(QSize(whole(px.width() * t), whole(px.height() * t)));
    geom_ = twips;
    lastAppliedPx_ = px;
}

void NotificationWindow::layoutChildren() {
    const int w = width(), h = height();
    const int button = kTitleHeight - 6;
    closeButton_->setGeometry(w - kMargin - button, 3, button, button);
    text1_->setGeometry(kMargin, kTitleHeight, std::max(0, w - 2 * kMargin),
                        std::max(0, h - kTitleHeight - kMargin));
    grip_->setGeometry(w - kGrip - 1, h - kGrip - 1, kGrip, kGrip);
    grip_->raise();
}

// Without a compositor a translucent window shows black corners; the mask
// cuts the window to its rounded panel.
void NotificationWindow::updateShape() {
    if (headless())
        return;
    const QRectF r(rect());
    const double radius = std::min({kRadius, r.width() / 2, r.height() / 2});
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void NotificationWindow::initscalecontrols() {
    places_.clear();
    const double w = geom_.width(), h = geom_.height();
    if (w <= 0 || h <= 0)
        return;
    const double t = tpp();
    const auto children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow())
            continue;
        const QRect g = child->geometry();
        places_.append(
            {child, g.x() * t / w, g.y() * t / h, g.width() * t / w, g.height() * t / h});
    }
}

void NotificationWindow::ScaleControls() {
    const double w = geom_.width(), h = geom_.height(), t = tpp();
    for (const ControlPlace& place : std::as_const(places_)) {
        if (!place.control)
            continue;
        // Whole twips first, as the places were taken, then whole pixels.
        const QRect twips =
            roundedRect(place.left * w, place.top * h, place.width * w, place.height * h);
        place.control->setGeometry(whole(twips.x() / t), whole(twips.y() / t),
                                   whole(twips.width() / t), whole(twips.height() / t));
    }
}

// ---- Effects ----

void NotificationWindow::runEffect(std::function<void()> effect) {
    if (busy_) {
        pendingEffects_.append(std::move(effect));
        return;
    }
    busy_ = true;
    effect();
    while (!pendingEffects_.isEmpty())
        pendingEffects_.takeFirst()();
    busy_ = false;
}

void NotificationWindow::beginFrames() {
    frameClock_.start();
    frameNo_ = 0;
}

// One frame: place the window, draw it now, report it, and give the rest of
// the frame interval to other events. False when the effect was stopped.
bool NotificationWindow::frame(double left, double top, double width, double height,
                               quint64 generation) {
    if (generation != generation_)
        return false;
    applyGeometry(roundedRect(left, top, width, height));
    repaint();
    Q_EMIT frameShown(geom_);
    return pace(generation);
}

// Frames are due at fixed times from the start of the effect, so the time a
// frame takes does not slow the effect down. A frame that is late (the
// program was busy elsewhere) starts a new schedule rather than rushing.
bool NotificationWindow::pace(quint64 generation) {
    if (frameIntervalMs_ > 0 && generation == generation_) {
        ++frameNo_;
        qint64 remaining = frameNo_ * frameIntervalMs_ - frameClock_.elapsed();
        if (remaining < 1) {
            beginFrames();
            remaining = 1;
        }
        waitUntil([this, generation] { return generation != generation_; },
                  static_cast<int>(remaining));
    }
    return generation == generation_;
}

void NotificationWindow::zoomin() {
    runEffect([this] { doZoomin(); });
}

void NotificationWindow::zoomout() {
    runEffect([this] { doZoomout(); });
}

void NotificationWindow::zoomtocentre1() {
    runEffect([this] { zoomToCentre(true); });
}

void NotificationWindow::zoomtocentre2() {
    runEffect([this] { zoomToCentre(false); });
}

void NotificationWindow::zoomandmove(double x1, double y1, double x2, double y2, double w1,
                                     double h1, double w2, double h2, int step, bool scale) {
    runEffect([=, this] {
        ensureLoaded();
        doZoomAndMove(x1, y1, x2, y2, w1, h1, w2, h2, step, scale);
    });
}

// Shrinks into the centre and vanishes, then takes back its size and place
// (hidden) for the next time it is shown.
void NotificationWindow::doZoomin() {
    ensureLoaded();
    const QRect start = geom_;
    effectRest_ = start;
    const double w = start.width(), h = start.height();
    const double cx = start.left() + w / 2, cy = start.top() + h / 2;
    const double longer = h <= w ? w : h;
    const quint64 generation = generation_;
    beginFrames();
    if (longer > 0) {
        for (double s = longer / 2; s >= 150; s -= 50) {
            const double r = 2 * s / longer;
            if (!frame(cx - r * w / 2, cy - r * h / 2, r * w, r * h, generation))
                return;
        }
    }
    hide();
    applyGeometry(start);
}

// Grows out of its centre from a small square to its full size.
void NotificationWindow::doZoomout() {
    ensureLoaded();
    const QRect target = geom_;
    effectRest_ = target;
    const double w = target.width(), h = target.height();
    const double cx = target.left() + w / 2, cy = target.top() + h / 2;
    const double longer = h <= w ? w : h;
    const quint64 generation = generation_;
    applyGeometry(roundedRect(cx - 75, cy - 75, 150, 150));
    showWindow();
    beginFrames();
    for (double s = 150; s <= longer / 2; s += 50) {
        const double r = 2 * s / longer;
        if (!frame(cx - r * w / 2, cy - r * h / 2, r * w, r * h, generation))
            return;
    }
    // When half the size is not on the 50-twip grid the steps stop short;
    // end at the true size, or every zoomout would shrink the stored size.
    if (geom_ != target)
        frame(target.left(), target.top(), w, h, generation);
}

void NotificationWindow::doMoveTo(int x, int y) {
    ensureLoaded();
    const QRect start = geom_;
    effectRest_ = QRect(QPoint(x, y), start.size());
    const double dx = (start.left() - x) / 100.0, dy = (start.top() - y) / 100.0;
    const quint64 generation = generation_;
    beginFrames();
    for (int i = 0; i <= 100; ++i) {
        if (!frame(start.left() - i * dx, start.top() - i * dy, start.width(), start.height(),
                   generation))
            return;
    }
}

// (x1, y1) and (x2, y2) are centres. A step below 1 would never end, and a
// step that does not divide 100 would stop short of the end; both go to the
// end in whole steps.
void NotificationWindow::doZoomAndMove(double x1, double y1, double x2, double y2, double w1,
                                       double h1, double w2, double h2, int step, bool scale) {
    step = std::max(1, step);
    const auto sizeAt = [](double a, double b, int t) {
        return std::nearbyint(a + t * (b - a) / 100);
    };
    const auto rectAt = [&](int t, QRectF& r) {
        const double width = sizeAt(w1, w2, t), height = sizeAt(h1, h2, t);
        r = QRectF(x1 - t * (x1 - x2) / 100 - width / 2, y1 - t * (y1 - y2) / 100 - height / 2,
                   width, height);
    };
    QRectF end;
    rectAt(100, end);
    effectRest_ = roundedRect(end.x(), end.y(), end.width(), end.height());
    const quint64 generation = generation_;
    scaling_ = scale;
    beginFrames();
    for (int t = 0;; t = std::min(100, t + step)) {
        QRectF r;
        rectAt(t, r);
        if (!frame(r.x(), r.y(), r.width(), r.height(), generation) || t == 100)
            break;
    }
    scaling_ = false;
    layoutChildren();
}

// Grows from a point at the window's centre to its full size while gliding
// to the middle of the screen. The start is the window's own place even when
// it is hidden: that is where the user last saw it.
void NotificationWindow::zoomToCentre(bool scale) {
    ensureLoaded();
    if (scale)
        initscalecontrols();
    const QRect g = geom_;
    const QRect s = screen_.geometry();
    const double t = tpp();
    doZoomAndMove(g.left() + g.width() / 2.0, g.top() + g.height() / 2.0,
                  (s.x() + s.width() / 2.0) * t, (s.y() + s.height() / 2.0) * t, 0, 0, g.width(),
                  g.height(), 5, scale);
}

// ---- Colour effect ----

void NotificationWindow::rainbowStep() {
    // Three counters carried like digits; the slower two tint the panel.
    counters_[0] += 10;
    if (counters_[0] > 255) {
        counters_[0] = 0;
        counters_[1] += 10;
        if (counters_[1] > 240) {
            counters_[1] = 0;
            counters_[2] += 10;
            if (counters_[2] > 240)
                counters_[2] = 0;
        }
    }
    wavelength_ += direction_;
    if (wavelength_ >= 780) {
        wavelength_ = 780;
        direction_ = -1;
    } else if (wavelength_ <= 380) {
        wavelength_ = 380;
        direction_ = 1;
    }
    setBackground(spectrumColour(wavelength_), true);
}

void NotificationWindow::setBackground(const QColor& colour, bool rainbow) {
    background_ = colour;
    rainbowColour_ = rainbow;
    QPalette pal = closeButton_->palette();
    pal.setColor(QPalette::ButtonText, isDark(colour) ? Qt::white : QColor(0x3a, 0x46, 0x58));
    closeButton_->setPalette(pal);
    update();
}

// The usual piecewise-linear approximation of visible light, dimmed towards
// both ends of the range where the eye sees little.
QColor NotificationWindow::spectrumColour(double nm) {
    nm = std::clamp(nm, 380.0, 780.0);
    double r = 0, g = 0, b = 0;
    if (nm < 440) {
        r = (440 - nm) / (440 - 380);
        b = 1;
    } else if (nm < 490) {
        g = (nm - 440) / (490 - 440);
        b = 1;
    } else if (nm < 510) {
        g = 1;
        b = (510 - nm) / (510 - 490);
    } else if (nm < 580) {
        r = (nm - 510) / (580 - 510);
        g = 1;
    } else if (nm < 645) {
        r = 1;
        g = (645 - nm) / (645 - 580);
    } else {
        r = 1;
    }
    double intensity = 1;
    if (nm < 420)
        intensity = 0.3 + 0.7 * (nm - 380) / (420 - 380);
    else if (nm > 700)
        intensity = 0.3 + 0.7 * (780 - nm) / (780 - 700);
    const auto channel = [intensity](double c) {
        return c <= 0 ? 0 : whole(255 * std::pow(c * intensity, 0.8));
    };
    return QColor(channel(r), channel(g), channel(b));
}

// ---- Painting and mouse ----

void NotificationWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::min({kRadius, panel.width() / 2, panel.height() / 2});
    QColor lower = background_.darker(108);
    if (rainbowColour_) {
        const QColor tint(counters_[1], counters_[2], 255 - counters_[1]);
        lower = QColor::fromRgbF(lower.redF() * 0.88f + tint.redF() * 0.12f,
                                 lower.greenF() * 0.88f + tint.greenF() * 0.12f,
                                 lower.blueF() * 0.88f + tint.blueF() * 0.12f);
    }
    QLinearGradient shade(0, 0, 0, height());
    shade.setColorAt(0, background_.lighter(106));
    shade.setColorAt(1, lower);
    p.setPen(QPen(background_.darker(150), 1));
    p.setBrush(shade);
    p.drawRoundedRect(panel, radius, radius);
    // A soft highlight along the top edge.
    p.setPen(QPen(QColor(255, 255, 255, 110), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(1, 1, -1, -1), radius - 1, radius - 1);

    if (text1_->width() > 0 && text1_->height() > 0) {
        const QRectF card = QRectF(text1_->geometry()).adjusted(-0.5, -0.5, 0.5, 0.5);
        p.setPen(QPen(QColor(0, 0, 0, 40), 1));
        p.setBrush(QColor(255, 255, 255, 232));
        p.drawRoundedRect(card, 6, 6);
    }

    if (height() >= kTitleHeight && width() > 4 * kMargin) {
        QFont titleFont = font();
        titleFont.setBold(true);
        titleFont.setPointSizeF(9);
        p.setFont(titleFont);
        // A small speech-bubble dot in front of the title.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3d, 0x7b, 0xd9));
        p.drawEllipse(QRectF(kMargin + 1, kTitleHeight / 2.0 - 5, 8, 8));
        p.setPen(isDark(background_) ? QColor(255, 255, 255, 230) : QColor(0x2c, 0x38, 0x4a));
        p.drawText(QRect(kMargin + 14, 0, width() - 3 * kMargin - kTitleHeight, kTitleHeight - 2),
                   Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
    }
}

void NotificationWindow::resizeEvent(QResizeEvent*) {
    if (!scaling_)
        layoutChildren();
    updateShape();
    adoptWidgetGeometry();
}

void NotificationWindow::moveEvent(QMoveEvent*) {
    adoptWidgetGeometry();
}

// The panel itself is the handle for moving the window.
void NotificationWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - geometry().topLeft();
}

void NotificationWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        move(event->globalPosition().toPoint() - dragOffset_);
}

void NotificationWindow::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void NotificationWindow::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

} // namespace gabblet
