#include "MainWindow.h"

#include "app/AppIcon.h"
#include "platform/StatusLog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace gabblet {

namespace {
QWidget* page(const char* name) {
    auto* w = new QWidget;
    w->setObjectName(QLatin1String(name));
    new QVBoxLayout(w);
    return w;
}
} // namespace

MainWindow::MainWindow(StatusLog& status) : status_(status) {
    setObjectName(QStringLiteral("Gabblet"));
    setWindowTitle(QStringLiteral("Gabblet"));
    setWindowIcon(appIcon());
    // A comfortable size that still fits small screens.
    QSize size(960, 640);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    composer_ = page("ComposerTab");
    inbox_ = page("InboxTab");
    outbox_ = page("OutboxTab");
    QWidget* statusPage = page("StatusTab");
    tabs_->addTab(composer_, QStringLiteral("&Message"));
    tabs_->addTab(inbox_, QStringLiteral("&Inbox"));
    tabs_->addTab(outbox_, QStringLiteral("&Outbox"));
    tabs_->addTab(statusPage, QStringLiteral("&Status"));
    setCentralWidget(tabs_);

    hotMailOpenUrl_ =
        new QCheckBox(QStringLiteral("Fetch the HotMail login page directly"), inbox_);
    hotMailOpenUrl_->setObjectName(QStringLiteral("HotMailOpenURL"));
    static_cast<QVBoxLayout*>(inbox_->layout())->addWidget(hotMailOpenUrl_);
    static_cast<QVBoxLayout*>(inbox_->layout())->addStretch();

    auto* frame = new QGroupBox(QStringLiteral("Acks && Status"), statusPage);
    frame->setObjectName(QStringLiteral("AcksFrame"));
    acks_ = new QPlainTextEdit(frame);
    acks_->setObjectName(QStringLiteral("Acks"));
    acks_->setReadOnly(true);
    acks_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    acks_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    (new QVBoxLayout(frame))->addWidget(acks_);
    static_cast<QVBoxLayout*>(statusPage->layout())->addWidget(frame);
    connect(&status_, &StatusLog::changed, this, &MainWindow::showStatus);

    buildMenus();
    buildTrayMenu();
    setDebugControls(false);
}

// The tray menu exists whether or not the desktop has a tray, so that its
// switches always follow the boxes they stand for.
void MainWindow::buildTrayMenu() {
    trayMenu_ = new QMenu(this);
    trayMenu_->setObjectName(QStringLiteral("mPopupSys"));
    QAction* restore = trayMenu_->addAction(QStringLiteral("&Restore"));
    restore->setObjectName(QStringLiteral("mPopRestore"));
    connect(restore, &QAction::triggered, this, &MainWindow::restoreFromTray);
    trayMenu_->addSeparator();
    setDisable_ = trayMenu_->addAction(QStringLiteral("&Disable"));
    setDisable_->setObjectName(QStringLiteral("SetDisable"));
    setDisable_->setCheckable(true);
    setQuiet_ = trayMenu_->addAction(QStringLiteral("&Quiet"));
    setQuiet_->setObjectName(QStringLiteral("SetQuiet"));
    setQuiet_->setCheckable(true);
    trayMenu_->addSeparator();
    QAction* exit = trayMenu_->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("mPopExit"));
    connect(exit, &QAction::triggered, this, &MainWindow::trayExitRequested);
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    debugOn_ = file->addAction(QStringLiteral("&Debug mode"));
    debugOn_->setObjectName(QStringLiteral("DebugOn"));
    debugOn_->setCheckable(true);
    debugOn_->setChecked(true);
    debugOn_->setEnabled(false); // shows the state; the settings file switches it
    exitNoSave_ = file->addAction(QStringLiteral("Exit &without saving"));
    exitNoSave_->setObjectName(QStringLiteral("ExitNoSave"));
    connect(exitNoSave_, &QAction::triggered, this, &MainWindow::exitNoSaveRequested);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("DoExit"));
    exit->setShortcut(QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &MainWindow::exitRequested);

    QMenu* messages = menuBar()->addMenu(QStringLiteral("&Messages"));
    QAction* alias = messages->addAction(QStringLiteral("A&lias..."));
    alias->setObjectName(QStringLiteral("DoAlias"));
    connect(alias, &QAction::triggered, this, &MainWindow::aliasesRequested);
}

void MainWindow::setDebugControls(bool on) {
    debugOn_->setVisible(on);
    exitNoSave_->setVisible(on);
    hotMailOpenUrl_->setVisible(on);
}

void MainWindow::showStatus(const QString& appended, bool cut) {
    if (cut) {
        acks_->setPlainText(status_.text());
    } else {
        QTextCursor end(acks_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(appended);
    }
    QTextCursor caret(acks_->document());
    caret.setPosition(
        int(qMin<qsizetype>(status_.caretPosition(), acks_->document()->characterCount() - 1)));
    acks_->setTextCursor(caret);
    acks_->ensureCursorVisible();
}

void MainWindow::addTrayIcon(const QString& tip) {
    if (tray_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(appIcon(), this);
    tray_->setObjectName(QStringLiteral("TrayIcon"));
    tray_->setToolTip(tip);
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick)
            restoreFromTray();
    });
    tray_->show();
}

void MainWindow::removeTrayIcon() {
    if (tray_) {
        tray_->hide();
        tray_->deleteLater();
        tray_ = nullptr;
    }
}

void MainWindow::restoreFromTray() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closingByProgram_) {
        event->accept();
        return;
    }
    // Closing the window ends the program the orderly way; the controller
    // may still keep it running (the outbox question).
    event->ignore();
    Q_EMIT closeRequested();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Minimising hides the window behind the tray icon. Without a tray the
    // window stays in the task bar, or it could not be found again.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        tray_)
        QTimer::singleShot(0, this, &QWidget::hide);
}

} // namespace gabblet
