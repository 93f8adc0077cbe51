#include "MainWindow.h"

#include "app/AppIcon.h"
#include "platform/StatusLog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace gabblet {

namespace {
QWidget* page(const char* name) {
    auto* w = new QWidget;
    w->setObjectName(QLatin1String(name));
    new QVBoxLayout(w);
    return w;
}

QPlainTextEdit* logBox(const char* name, const QString& placeholder, QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box->setPlaceholderText(placeholder);
    return box;
}

// Shows what a log appended (or all of it after a cut) and puts the caret at `caret`.
void showLog(QPlainTextEdit* box, const StatusLog& log, const QString& appended, bool cut,
             qsizetype caret) {
    if (cut) {
        box->setPlainText(log.text());
    } else {
        QTextCursor end(box->document());
        end.movePosition(QTextCursor::End);
        end.insertText(appended);
    }
    QTextCursor at(box->document());
    at.setPosition(int(qMin<qsizetype>(caret, box->document()->characterCount() - 1)));
    box->setTextCursor(at);
    box->ensureCursorVisible();
}

bool canRead(const QMimeData* mime) {
    return mime && (mime->hasUrls() || mime->hasText());
}
} // namespace

MainWindow::MainWindow(StatusLog& status) : status_(status) {
    setObjectName(QStringLiteral("Gabblet"));
    setCaption(QStringLiteral("Gabblet"));
    setWindowIcon(appIcon());
    // Roomy on a 1280 by 800 screen, and never larger than the screen.
    QSize size(1180, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.94);
    resize(size);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    composer_ = page("ComposerTab");
    composer_->layout()->setContentsMargins(6, 6, 6, 6);
    inbox_ = page("InboxTab");
    outbox_ = page("OutboxTab");
    QWidget* statusPage = page("StatusTab");
    tabs_->addTab(composer_, QStringLiteral("Messa&ge"));
    tabs_->addTab(inbox_, QStringLiteral("I&nbox"));
    tabs_->addTab(outbox_, QStringLiteral("Out&box"));
    tabs_->addTab(statusPage, QStringLiteral("Stat&us"));
    setCentralWidget(tabs_);

    auto* frame = new QGroupBox(QStringLiteral("Acks && Status"), statusPage);
    frame->setObjectName(QStringLiteral("AcksFrame"));
    acks_ = logBox("Acks",
                   QStringLiteral("Replies from the people you message, and what the program is "
                                  "doing, appear here."),
                   frame);
    (new QVBoxLayout(frame))->addWidget(acks_);
    static_cast<QVBoxLayout*>(statusPage->layout())->addWidget(frame, 3);
    auto* mailFrame = new QGroupBox(QStringLiteral("E-mail announcements"), statusPage);
    mailFrame->setObjectName(QStringLiteral("EmailMesFrame"));
    emailMes_ = logBox("EmailMes",
                       QStringLiteral("What the characters said about new e-mail appears here."),
                       mailFrame);
    (new QVBoxLayout(mailFrame))->addWidget(emailMes_);
    static_cast<QVBoxLayout*>(statusPage->layout())->addWidget(mailFrame, 1);
    connect(&status_, &StatusLog::changed, this, &MainWindow::showStatus);
    acceptDropsOn(frame);
    acceptDropsOn(acks_);

    buildTrayMenu();
    buildMenus();
    buildMailPages();
    setDebugControls(false);
}

void MainWindow::setInboxPanel(QWidget* panel) {
    static_cast<QVBoxLayout*>(inbox_->layout())->insertWidget(0, panel, 1);
}

void MainWindow::setOutboxPanel(QWidget* panel) {
    static_cast<QVBoxLayout*>(outbox_->layout())->addWidget(panel, 1);
}

void MainWindow::showInbox() {
    restoreFromTray();
    tabs_->setCurrentWidget(inbox_);
    raise();
    activateWindow();
}

void MainWindow::fitToContents() {
    // The composer has a minimum size; placing the window must know it.
    resize(size().expandedTo(minimumSizeHint()));
}

void MainWindow::buildMailPages() {
    // The inbox panel goes above this box once the e-mail side is made.
    auto* inbox = static_cast<QVBoxLayout*>(inbox_->layout());
    inbox_->layout()->setContentsMargins(6, 6, 6, 6);
    hotMailOpenUrl_ = new QCheckBox(QStringLiteral("Fetch the HotMail login page directly"));
    hotMailOpenUrl_->setObjectName(QStringLiteral("HotMailOpenURL"));
    inbox->addWidget(hotMailOpenUrl_);

    outbox_->layout()->setContentsMargins(6, 6, 6, 6);
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

QAction* MainWindow::addCommand(QMenu* menu, const QString& caption, const char* name,
                                const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

QAction* MainWindow::command(const char* name) const {
    return findChild<QAction*>(QLatin1String(name));
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addCommand(file, QStringLiteral("&Open..."), "MOpen", QKeySequence::Open);
    addCommand(file, QStringLiteral("&Save"), "MSave", QKeySequence::Save);
    addCommand(file, QStringLiteral("Save &As..."), "MSaveAs");
    file->addSeparator();
    addCommand(file, QStringLiteral("O&ptions..."), "SetOptions");
    addCommand(file, QStringLiteral("&Update"), "DoUpdate");
    file->addSeparator();
    debugOn_ = addCommand(file, QStringLiteral("&Debug mode"), "DebugOn");
    debugOn_->setCheckable(true);
    debugOn_->setChecked(true);
    debugOn_->setEnabled(false); // shows the state; the settings file switches it
    exitNoSave_ = addCommand(file, QStringLiteral("Exit &without saving"), "ExitNoSave");
    connect(exitNoSave_, &QAction::triggered, this, &MainWindow::exitNoSaveRequested);
    QAction* exit = addCommand(file, QStringLiteral("E&xit"), "DoExit", QKeySequence::Quit);
    connect(exit, &QAction::triggered, this, &MainWindow::exitRequested);

    // The text box handles its own editing keys; the menu shows them.
    QMenu* edit = menuBar()->addMenu(QStringLiteral("Ed&it"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    addCommand(edit, QStringLiteral("Cu&t"), "MCut", QKeySequence::Cut);
    addCommand(edit, QStringLiteral("&Copy"), "MCopy", QKeySequence::Copy);
    addCommand(edit, QStringLiteral("&Paste"), "MPaste", QKeySequence::Paste);
    addCommand(edit, QStringLiteral("C&lear"), "MClear");
    addCommand(edit, QStringLiteral("Select &All"), "MSelectAll", QKeySequence::SelectAll);
    for (QAction* a : edit->actions())
        a->setShortcutContext(Qt::WidgetShortcut); // shown, not grabbed from the text box
    edit->addSeparator();
    addCommand(edit, QStringLiteral("P&review"), "MPreview")->setCheckable(true);
    edit->addSeparator();
    addCommand(edit, QStringLiteral("&Read Clipboard"), "ReadClipMenu",
               QKeySequence(Qt::CTRL | Qt::Key_R));
    addCommand(edit, QStringLiteral("&Stop Speaking"), "StopMenu", QKeySequence(Qt::Key_Escape));
    addCommand(edit, QStringLiteral("Stop and &Hide"), "StopHide");

    QMenu* messages = menuBar()->addMenu(QStringLiteral("&Messages"));
    messages->setObjectName(QStringLiteral("MessagesMenu"));
    QAction* alias = addCommand(messages, QStringLiteral("A&lias..."), "DoAlias");
    connect(alias, &QAction::triggered, this, &MainWindow::aliasesRequested);
    messages->addSeparator();
    messages->addAction(setDisable_);
    messages->addAction(setQuiet_);

    QMenu* mail = menuBar()->addMenu(QStringLiteral("E-mai&l"));
    mail->setObjectName(QStringLiteral("MailMenu"));
    addCommand(mail, QStringLiteral("&Check Now"), "MCheckEmail")->setEnabled(false);
    addCommand(mail, QStringLiteral("&Refresh"), "MRefresh")->setEnabled(false);
    mail->addSeparator();
    addCommand(mail, QStringLiteral("&Send E-mail..."), "MSendEmail")->setEnabled(false);
    addCommand(mail, QStringLiteral("&Accounts..."), "AccountsSetup")->setEnabled(false);
    addCommand(mail, QStringLiteral("A&nnouncements..."), "DoAnn")->setEnabled(false);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    addCommand(help, QStringLiteral("&Contents"), "HelpContents", QKeySequence::HelpContents);
    addCommand(help, QStringLiteral("&About Gabblet"), "About");
}

void MainWindow::setDebugControls(bool on) {
    debugOn_->setVisible(on);
    exitNoSave_->setVisible(on);
    hotMailOpenUrl_->setVisible(on);
}

void MainWindow::showStatus(const QString& appended, bool cut) {
    showLog(acks_, status_, appended, cut, status_.caretPosition());
}

void MainWindow::showEmailLog(const StatusLog& log) {
    emailMes_->setPlainText(log.text());
    connect(&log, &StatusLog::changed, emailMes_, [this, &log](const QString& appended, bool cut) {
        showLog(emailMes_, log, appended, cut, log.text().size());
    });
}

void MainWindow::addTrayIcon(const QString& tip) {
    if (tray_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    tray_ = new QSystemTrayIcon(appIcon(), this);
    tray_->setObjectName(QStringLiteral("TrayIcon"));
    tray_->setToolTip(tip);
    connect(tray_, &QSystemTrayIcon::activated, this, &MainWindow::trayActivated);
    tray_->show();
}

void MainWindow::removeTrayIcon() {
    if (tray_) {
        tray_->hide();
        tray_->deleteLater();
        tray_ = nullptr;
    }
}

void MainWindow::refreshTrayTip() {
    if (tray_)
        tray_->setToolTip(windowTitle().trimmed());
}

void MainWindow::trayActivated(QSystemTrayIcon::ActivationReason reason) {
    refreshTrayTip();
    switch (reason) {
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::DoubleClick:
        restoreFromTray();
        break;
    case QSystemTrayIcon::Context:
        // The menu comes up by itself; a hidden window stays hidden.
        trayMenu_->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void MainWindow::restoreFromTray() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::setCaption(const QString& caption) {
    caption_ = caption;
    setWindowTitle(caption);
}

void MainWindow::SetTitle(const QString& text) {
    setWindowTitle(QStringLiteral("Gabblet (") + text + QLatin1Char(')'));
}

// Back to the caption of the start, user folder included: a mail check must
// not leave a second user's window looking like the first one's.
void MainWindow::ResetTitle() {
    setWindowTitle(caption_);
}

void MainWindow::acceptDropsOn(QWidget* widget) {
    // A text box takes drops on its viewport.
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        widget = edit->viewport();
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Text dragged about inside the message box is moved there as usual.
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
        event->type() == QEvent::Drop) {
        const QObject* source = static_cast<QDropEvent*>(event)->source();
        if (source && (source == watched || source == watched->parent()))
            return QMainWindow::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!canRead(drag->mimeData()))
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* mime = drop->mimeData();
        if (!canRead(mime))
            return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // Read after the drop has finished: the dragging program is not kept
        // waiting while the character speaks.
        if (mime->hasUrls()) {
            const QUrl url = mime->urls().value(0);
            if (url.isLocalFile())
                QTimer::singleShot(0, this,
                                   [this, path = url.toLocalFile()] { Q_EMIT fileDropped(path); });
            else
                QTimer::singleShot(0, this, &MainWindow::dropNotUnderstood);
        } else {
            QTimer::singleShot(0, this, [this, text = mime->text()] { Q_EMIT textDropped(text); });
        }
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeByProgram() {
    closingByProgram_ = true;
    close();
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
    if (event->type() == QEvent::WindowTitleChange)
        refreshTrayTip();
    // Minimising hides the window behind the tray icon. Without a tray the
    // window stays in the task bar, or it could not be found again.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        tray_)
        QTimer::singleShot(0, this, &QWidget::hide);
}

} // namespace gabblet
