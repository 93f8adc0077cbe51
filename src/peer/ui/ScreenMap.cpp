#include "ScreenMap.h"

#include "peer/Insertion.h"

#include <QMouseEvent>
#include <QPainter>

namespace gabblet {

ScreenMap::ScreenMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Frame3"));
    setFixedSize(192, 120);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Click: where the character starts; Shift+click: where it "
                              "moves to"));
}

void ScreenMap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0, QColor(0x3b, 0x6e, 0xa8));
    sky.setColorAt(1, QColor(0x8f, 0xb8, 0xde));
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(sky);
    p.drawRect(r);
    p.fillRect(QRectF(r.left(), r.bottom() - 8, r.width(), 8), QColor(40, 40, 48));
    p.setPen(QPen(QColor(255, 255, 255, 90), 1, Qt::DotLine));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    if (marked_) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(moved_ ? QColor(0xf0, 0xa0, 0x30) : QColor(0x40, 0xc0, 0x60));
        p.drawEllipse(mark_, 5, 5);
    }
}

void ScreenMap::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    moved_ = event->modifiers() & Qt::ShiftModifier;
    marked_ = true;
    mark_ = at;
    update();
    Q_EMIT placeClicked(screenBlock(at.x(), at.y(), width(), height(), moved_));
}

} // namespace gabblet
