#include "CharacterWindow.h"

#include "characters/FloatingWindow.h"

#include <QBitmap>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace gabblet {

CharacterWindow::CharacterWindow(const CharacterModel& model)
    : QWidget(nullptr, kFloatingWindow), model_(model) {
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
    if (!windowShapesSupported())
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

} // namespace gabblet
