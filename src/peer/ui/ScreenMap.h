#pragma once

#include <QPointF>
#include <QWidget>

namespace gabblet {

// A small picture of the screen: a click says where a character starts, a
// Shift-click where it moves to, as fractions of the screen.
class ScreenMap final : public QWidget {
    Q_OBJECT
public:
    explicit ScreenMap(QWidget* parent = nullptr);

Q_SIGNALS:
    // The block that says it: "{{$start x;y}}" or "{{$move x;y}}".
    void placeClicked(const QString& block);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool marked_ = false;
    bool moved_ = false;
    QPointF mark_;
};

} // namespace gabblet
