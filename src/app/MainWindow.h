#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>

class QAction;
class QCheckBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace gabblet {

class StatusLog;

// The main window: a tab strip holding the composer, the inbox, the outbox and
// the status box, the menus and the tray icon. It only shows things and
// reports what the user did; the controller decides.
class MainWindow final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)
public:
    explicit MainWindow(StatusLog& status);

    QTabWidget* SSTab1() const { return tabs_; }
    QPlainTextEdit* Acks() const { return acks_; }
    QPlainTextEdit* EmailMes() const { return emailMes_; }
    // The e-mail log box shows `log` from now on, caret at its end.
    void showEmailLog(const StatusLog& log);
    // The Inbox tab's content, above its debug-only box.
    void setInboxPanel(QWidget* panel);
    // The Outbox tab's content.
    void setOutboxPanel(QWidget* panel);
    // Brings the window up with the Inbox tab in front (a click on a notification).
    void showInbox();
    QWidget* composerTab() const { return composer_; }
    QSystemTrayIcon* tray() const { return tray_; }
    QMenu* trayMenu() const { return trayMenu_; }
    QAction* SetDisable() const { return setDisable_; }
    QAction* SetQuiet() const { return setQuiet_; }
    // A menu command by its name (MOpen, ReadClipMenu, ...).
    QAction* command(const char* name) const;

    void setDebugControls(bool on);
    // Grows the window to what its contents need at least.
    void fitToContents();
    // The tray icon with its tip; nothing on desktops without a tray.
    void addTrayIcon(const QString& tip);
    void removeTrayIcon();
    void restoreFromTray();
    // What the tray icon does with a click: restore, or open the tray menu
    // (the window stays as it is).
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    // The caption the window has while nothing runs ("Gabblet", with the
    // user's folder when one was chosen).
    void setCaption(const QString& caption);
    // "Gabblet (text)" while something runs; the caption afterwards.
    void SetTitle(const QString& text);
    void ResetTitle();
    // Drops of text or files on this widget are read aloud.
    void acceptDropsOn(QWidget* widget);
    // Closes the window for good (the shutdown); the close button only asks.
    void closeByProgram();

Q_SIGNALS:
    void exitRequested();       // File > Exit
    void exitNoSaveRequested(); // debug-only exit
    void trayExitRequested();   // tray menu Exit
    void closeRequested();      // the window's close button
    void aliasesRequested();    // Messages > Alias
    void textDropped(const QString& text);
    void fileDropped(const QString& path);
    void dropNotUnderstood();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildTrayMenu();
    void buildMailPages();
    QAction* addCommand(QMenu* menu, const QString& caption, const char* name,
                        const QKeySequence& shortcut = {});
    void showStatus(const QString& appended, bool cut);
    void refreshTrayTip();

    StatusLog& status_;
    QTabWidget* tabs_ = nullptr;
    QWidget* composer_ = nullptr;
    QWidget* inbox_ = nullptr;
    QWidget* outbox_ = nullptr;
    QPlainTextEdit* acks_ = nullptr;
    QString caption_;
    QPlainTextEdit* emailMes_ = nullptr;
    QCheckBox* hotMailOpenUrl_ = nullptr;
    QAction* debugOn_ = nullptr;
    QAction* exitNoSave_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QAction* setDisable_ = nullptr;
    QAction* setQuiet_ = nullptr;
    bool closingByProgram_ = false;
};

} // namespace gabblet
