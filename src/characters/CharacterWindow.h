#pragma once

#include "characters/CharacterModel.h"

#include <QWidget>

namespace gabblet {

// One character on the desktop: a frameless, translucent, always-on-top
// window showing the current frame. It is shaped to the drawing as well, so
// it looks right on desktops without a compositor. The user can drag it,
// and its menu offers Hide.
class CharacterWindow final : public QWidget {
    Q_OBJECT
public:
    explicit CharacterWindow(const CharacterModel& model);

    void showFrame(const Frame& frame);
    void setMouthOpen(bool open);
    bool mouthOpen() const { return mouthOpen_; }
    const Frame& frame() const { return frame_; }
    // Renders the current frame as it is shown (for tests and screenshots).
    QImage render() const;

Q_SIGNALS:
    void hideRequested();
    void dragged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateShape();

    const CharacterModel& model_;
    Frame frame_;
    bool mouthOpen_ = false;
    QPoint dragOffset_;
    bool dragging_ = false;
};
} // namespace gabblet
