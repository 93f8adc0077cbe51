#pragma once

#include "characters/CharacterModel.h"

#include <QWidget>

namespace gabblet {

// One character on the desktop: a frameless, translucent, always-on-top
// window showing the current frame. It is shaped to the drawing as well, so
// it looks right on desktops without a compositor. The user can drag it,
// and its menu offers Hide.
class CharacterWindow : public QWidget {
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

// The speech balloon beside a character: the words appear as they are
// spoken. Long texts show their most recent lines.
class SpeechBalloon : public QWidget {
    Q_OBJECT
public:
    explicit SpeechBalloon(const BalloonStyle& style);

    void setText(const QString& text);
    void reveal(int characters);
    QString text() const { return text_; }
    QString shownText() const { return text_.left(revealed_); }
    // Places the balloon above the character (below when there is no room),
    // inside the screen.
    void placeBeside(const QRect& character);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString visibleText() const;
    QRectF box() const;
    QPainterPath outline() const;

    BalloonStyle style_;
    QString text_;
    int revealed_ = 0;
    bool tailDown_ = true;
    int tailX_ = 30;
};

} // namespace gabblet
