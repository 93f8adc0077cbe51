#pragma once

#include "mail/MailReading.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class QPlainTextEdit;

namespace gabblet {

// TextMes: one message, its caption naming account, sender, subject and
// date, and the read-only text box Text1 filling the window.
class TextMesWindow final : public QWidget {
    Q_OBJECT
public:
    explicit TextMesWindow(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;

private:
    QPlainTextEdit* Text1_ = nullptr;
};

// The viewer windows of reading: a new TextMes per message, or the one
// reused TextMes. A window the user closes is gone; the ids of closed
// windows are simply ignored.
class DesktopViewers final : public ViewerWindows {
public:
    DesktopViewers() = default;
    ~DesktopViewers() override;
    Q_DISABLE_COPY_MOVE(DesktopViewers)

    int openTextMes(bool separate) override;
    void setCaption(int viewer, const QString& caption) override;
    void setText(int viewer, const QString& text) override;
    void showViewer(int viewer) override;
    // Closing the browser viewer is the web-mail side's; it hooks in here.
    void closeBrowser() override;
    void setBrowserCloser(std::function<void()> closer) { closeBrowser_ = std::move(closer); }

    // The window behind an id, or null once closed (for tests and scripts).
    TextMesWindow* window(int viewer) const;

private:
    QHash<int, QPointer<TextMesWindow>> windows_;
    int shared_ = -1;
    int next_ = 1;
    std::function<void()> closeBrowser_;
};

} // namespace gabblet
