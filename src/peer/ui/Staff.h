#pragma once

#include <QWidget>

namespace gabblet {

// A grand staff: it names the note under the mouse ("C4", "D#5"; sharps or
// naturals as chosen) and reports clicks on it.
class Staff final : public QWidget {
    Q_OBJECT
public:
    explicit Staff(QWidget* parent = nullptr);

    void setSharps(bool sharps) { sharps_ = sharps; }

Q_SIGNALS:
    // The note under the mouse, "" between the lines' reach.
    void noteHovered(const QString& note);
    void noteClicked(const QString& note);
    void noteRightClicked(const QString& note);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    double yOfStep(int step) const;
    QString hover(QMouseEvent* event);

    bool sharps_ = false;
    int hoverStep_ = -1;
    double hoverX_ = 0;
};

} // namespace gabblet
