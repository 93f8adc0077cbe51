#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace gabblet {

// The start-up splash: program name, version and a status line. It closes
// itself at the first tick of its timer after the status reads "Done", or at
// once when clicked.
class SplashWindow final : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const QString& versionText);
    void setStatus(const QString& text);
    QString status() const { return lblStatus_->text(); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();

    QLabel* lblVersion_;
    QLabel* lblStatus_;
    QTimer timer_;
};

} // namespace gabblet
