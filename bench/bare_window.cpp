// The baseline for start-up time: a bare Qt window that opens, gets shown and
// painted, reports "ready" as Gabblet does, and quits.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(960, 640);
    window.setWindowTitle(QStringLiteral("bare"));
    window.show();
    window.repaint();
    std::fputs("ready\n", stderr);
    std::fflush(stderr);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
