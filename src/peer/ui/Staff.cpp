#include "Staff.h"

#include "peer/Insertion.h"

#include <QMouseEvent>
#include <QPainter>

namespace gabblet {

Staff::Staff(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Staff"));
    setMouseTracking(true);
    setMinimumSize(220, 150);
    setFixedHeight(150);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Click: write the note into the message; right-click: hear it"));
}

double Staff::yOfStep(int step) const {
    return 0.9 * height() - step * staffStep(height());
}

void Staff::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(QPen(palette().color(QPalette::Text), 1));
    // Bass lines G2 B2 D3 F3 A3, treble lines E4 G4 B4 D5 F5.
    for (int step : {4, 6, 8, 10, 12, 16, 18, 20, 22, 24})
        p.drawLine(QPointF(8, yOfStep(step)), QPointF(width() - 8, yOfStep(step)));
    // Middle C's short ledger line.
    const double mid = width() / 2.0;
    p.drawLine(QPointF(mid - 12, yOfStep(14)), QPointF(mid + 12, yOfStep(14)));
    p.drawLine(QPointF(8, yOfStep(4)), QPointF(8, yOfStep(24)));
    if (hoverStep_ >= 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Highlight));
        p.drawEllipse(QPointF(hoverX_, yOfStep(hoverStep_)), 6, 4.5);
    }
}

QString Staff::hover(QMouseEvent* event) {
    const QString note = staffNote(event->position().y(), height(), sharps_);
    Q_EMIT noteHovered(note);
    const int step = note.isEmpty() ? -1 : staffStepOf(note.at(0), note.back().digitValue());
    if (step != hoverStep_ || event->position().x() != hoverX_) {
        hoverStep_ = step;
        hoverX_ = event->position().x();
        update();
    }
    return note;
}

void Staff::mouseMoveEvent(QMouseEvent* event) {
    hover(event);
}

void Staff::leaveEvent(QEvent*) {
    hoverStep_ = -1;
    update();
}

void Staff::mousePressEvent(QMouseEvent* event) {
    const QString note = hover(event);
    if (note.isEmpty())
        return;
    if (event->button() == Qt::RightButton)
        Q_EMIT noteRightClicked(note);
    else if (event->button() == Qt::LeftButton)
        Q_EMIT noteClicked(note);
}

} // namespace gabblet
