#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace gabblet {
namespace {

QPixmap drawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // A speech balloon with a smiling face in it.
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(4, 6, 56, 40), 14, 14);
    QPainterPath tail;
    tail.moveTo(16, 40);
    tail.lineTo(12, 58);
    tail.lineTo(30, 44);
    tail.closeSubpath();
    balloon = balloon.united(tail);
    p.setPen(QPen(QColor(0x1d, 0x4e, 0x89), 3));
    p.setBrush(QColor(0xff, 0xc8, 0x3d));
    p.drawPath(balloon);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x4e, 0x89));
    p.drawEllipse(QPointF(23, 22), 4, 5);
    p.drawEllipse(QPointF(41, 22), 4, 5);
    p.setPen(QPen(QColor(0x1d, 0x4e, 0x89), 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(20, 22, 24, 14), 200 * 16, 140 * 16);
    return pm;
}

} // namespace

QIcon appIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int s : {16, 22, 32, 48, 64, 128})
            i.addPixmap(drawIcon(s));
        return i;
    }();
    return icon;
}

} // namespace gabblet
