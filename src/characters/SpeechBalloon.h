#pragma once

#include "characters/CharacterModel.h"

#include <QWidget>

namespace gabblet {

// The speech balloon beside a character: the words appear as they are
// spoken. Long texts show their most recent lines.
class SpeechBalloon final : public QWidget {
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
