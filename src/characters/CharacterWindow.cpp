#include "CharacterWindow.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>

namespace gabblet {

namespace {
// Headless platforms have no window shapes (and say so for every frame).
bool shapeSupported() {
    static const bool supported = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                  QGuiApplication::platformName() != QLatin1String("minimal");
    return supported;
}

constexpr Qt::WindowFlags kFloating =
    Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::WindowDoesNotAcceptFocus;
} // namespace

CharacterWindow::CharacterWindow(const CharacterModel& model)
    : QWidget(nullptr, kFloating), model_(model) {
    setObjectName(QStringLiteral("Character_") + model.name);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(model.size);
    setWindowTitle(model.name);
}

void CharacterWindow::showFrame(const Frame& frame) {
    frame_ = frame;
    // A hidden window needs no shape yet; it gets one when it is shown.
    if (isVisible())
        updateShape();
    update();
}

void CharacterWindow::showEvent(QShowEvent* event) {
    updateShape();
    QWidget::showEvent(event);
}

void CharacterWindow::setMouthOpen(bool open) {
    if (open == mouthOpen_)
        return;
    mouthOpen_ = open;
    update();
}

QImage CharacterWindow::render() const {
    QImage image(model_.size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintFrame(p, model_, frame_, mouthOpen_);
    return image;
}

// Without a compositor a translucent window shows a black box; the mask
// cuts the window to the drawing.
void CharacterWindow::updateShape() {
    if (!shapeSupported())
        return;
    const QImage image = render();
    setMask(QBitmap::fromImage(image.createAlphaMask()));
}

void CharacterWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    paintFrame(p, model_, frame_, mouthOpen_);
}

void CharacterWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void CharacterWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
        Q_EMIT dragged();
    }
}

void CharacterWindow::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

void CharacterWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* hide = menu.addAction(QStringLiteral("&Hide"));
    if (menu.exec(event->globalPos()) == hide)
        Q_EMIT hideRequested();
}

SpeechBalloon::SpeechBalloon(const BalloonStyle& style)
    : QWidget(nullptr, kFloating), style_(style) {
    setObjectName(QStringLiteral("Balloon"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFont(style.font);
}

namespace {
constexpr int kPad = 10;
constexpr int kTail = 14;
constexpr int kMaxWidth = 300;
constexpr int kMaxLines = 6;
} // namespace

void SpeechBalloon::setText(const QString& text) {
    text_ = text;
    revealed_ = 0;
    const QFontMetrics fm(font());
    const QRect bounds =
        fm.boundingRect(QRect(0, 0, kMaxWidth - 2 * kPad, 100000), Qt::TextWordWrap,
                        text_.isEmpty() ? QStringLiteral(" ") : text_);
    const int lines = qMin(kMaxLines, qMax(1, bounds.height() / qMax(1, fm.lineSpacing())));
    resize(qMax(80, bounds.width() + 2 * kPad + 2),
           lines * fm.lineSpacing() + 2 * kPad + kTail + 2);
    update();
}

void SpeechBalloon::reveal(int characters) {
    revealed_ = qBound(0, characters, int(text_.size()));
    update();
}

// The revealed words, keeping only as many recent lines as the balloon holds.
QString SpeechBalloon::visibleText() const {
    const QString shown = shownText();
    const QFontMetrics fm(font());
    const int width = this->width() - 2 * kPad;
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QList<int> starts;
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        starts.append(line.textStart());
    }
    layout.endLayout();
    const int room = qMax(1, (height() - 2 * kPad - kTail) / qMax(1, fm.lineSpacing()));
    if (starts.size() <= room)
        return shown;
    return shown.mid(starts.at(starts.size() - room));
}

void SpeechBalloon::placeBeside(const QRect& character) {
    const QScreen* screen = QGuiApplication::screenAt(character.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    tailDown_ = character.top() - height() >= area.top();
    int x = character.center().x() - width() / 3;
    x = qBound(area.left(), x, area.right() - width());
    const int y = tailDown_ ? character.top() - height() + 4 : character.bottom() - 4;
    move(x, y);
    tailX_ = qBound(16, character.center().x() - x, width() - 16);
    // Shaped like the balloon, for desktops without a compositor.
    if (shapeSupported())
        setMask(QRegion(outline().toFillPolygon().toPolygon()));
    update();
}

QRectF SpeechBalloon::box() const {
    return tailDown_ ? QRectF(1, 1, width() - 2, height() - kTail - 2)
                     : QRectF(1, kTail + 1, width() - 2, height() - kTail - 2);
}

QPainterPath SpeechBalloon::outline() const {
    const QRectF box = this->box();
    QPainterPath path;
    path.addRoundedRect(box, 10, 10);
    QPainterPath tail;
    if (tailDown_) {
        tail.moveTo(tailX_ - 8, box.bottom() - 1);
        tail.lineTo(tailX_, height() - 1);
        tail.lineTo(tailX_ + 8, box.bottom() - 1);
    } else {
        tail.moveTo(tailX_ - 8, box.top() + 1);
        tail.lineTo(tailX_, 1);
        tail.lineTo(tailX_ + 8, box.top() + 1);
    }
    tail.closeSubpath();
    return path.united(tail);
}

void SpeechBalloon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = this->box();
    const QPainterPath path = outline();
    p.setPen(QPen(style_.border, 1.5));
    p.setBrush(style_.fill);
    p.drawPath(path);
    p.setPen(style_.text);
    p.drawText(box.adjusted(kPad, kPad - 2, -kPad, -kPad + 2),
               Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, visibleText());
}

void SpeechBalloon::mousePressEvent(QMouseEvent*) {
    hide();
}

} // namespace gabblet
