#include "SplashWindow.h"

#include "app/AppIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace gabblet {

SplashWindow::SplashWindow(const QString& versionText)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(420, 240);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("Gabblet"), this);
    QFont big = title->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto* tagline = new QLabel(QStringLiteral("Messages that speak for themselves"), this);
    tagline->setAlignment(Qt::AlignCenter);
    lblVersion_ = new QLabel(versionText, this);
    lblVersion_->setObjectName(QStringLiteral("lblVersion"));
    lblVersion_->setAlignment(Qt::AlignCenter);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->setAlignment(Qt::AlignCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(tagline);
    layout->addStretch();
    layout->addWidget(lblVersion_);
    layout->addWidget(lblStatus_);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());

    connect(&timer_, &QTimer::timeout, this, &SplashWindow::tick);
    timer_.start(1000);
}

void SplashWindow::setStatus(const QString& text) {
    lblStatus_->setText(text);
    if (isVisible())
        repaint();
}

void SplashWindow::tick() {
    if (status() == QLatin1String("Done")) {
        timer_.stop();
        close();
    }
}

void SplashWindow::mousePressEvent(QMouseEvent*) {
    close();
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(QPen(palette().mid().color(), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

} // namespace gabblet
