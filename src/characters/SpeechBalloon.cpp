#include "SpeechBalloon.h"

#include "characters/FloatingWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTextLayout>

namespace gabblet {

SpeechBalloon::SpeechBalloon(const BalloonStyle& style)
    : QWidget(nullptr, kFloatingWindow), style_(style) {
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
    if (windowShapesSupported())
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
