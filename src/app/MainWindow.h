#pragma once

#include <QMainWindow>

class QAction;
class QCheckBox;
class QMenu;
class QPlainTextEdit;
class QSystemTrayIcon;
class QTabWidget;

namespace gabblet {

class StatusLog;

// The main window: a tab strip holding the composer, the inbox, the outbox and
// the status box. It only shows things and reports what the user did; the
// controller decides.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(StatusLog& status);

    QTabWidget* SSTab1() const { return tabs_; }
    QPlainTextEdit* Acks() const { return acks_; }
    QWidget* composerTab() const { return composer_; }
    QWidget* inboxTab() const { return inbox_; }
    QWidget* outboxTab() const { return outbox_; }
    QSystemTrayIcon* tray() const { return tray_; }
    QMenu* trayMenu() const { return trayMenu_; }
    QAction* SetDisable() const { return setDisable_; }
    QAction* SetQuiet() const { return setQuiet_; }

    void setDebugControls(bool on);
    // The tray icon with its tip; nothing on desktops without a tray.
    void addTrayIcon(const QString& tip);
    void removeTrayIcon();
    void restoreFromTray();

Q_SIGNALS:
    void exitRequested();       // File > Exit
    void exitNoSaveRequested(); // debug-only exit
    void trayExitRequested();   // tray menu Exit
    void closeRequested();      // the window's close button
    void aliasesRequested();    // Messages > Alias

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildTrayMenu();
    void showStatus(const QString& appended, bool cut);

    StatusLog& status_;
    QTabWidget* tabs_ = nullptr;
    QWidget* composer_ = nullptr;
    QWidget* inbox_ = nullptr;
    QWidget* outbox_ = nullptr;
    QPlainTextEdit* acks_ = nullptr;
    QCheckBox* hotMailOpenUrl_ = nullptr;
    QAction* debugOn_ = nullptr;
    QAction* exitNoSave_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QAction* setDisable_ = nullptr;
    QAction* setQuiet_ = nullptr;
    bool closingByProgram_ = false;

    friend class AppController;
};

} // namespace gabblet
