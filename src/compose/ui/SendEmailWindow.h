#pragma once

#include "platform/TimerPause.h"

#include <QDialog>

#include <functional>
#include <optional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace gabblet {

class ComposeSession;
struct ComposedMail;
class Prompt;

// The "Send Email" window: the account to send with, the recipients, the
// subject and the body, and the buttons to send now, keep for later, check
// the spelling or give up. A thin shell over ComposeSession. E-mail is not
// checked while it is open.
class SendEmailWindow final : public QDialog {
    Q_OBJECT
public:
    SendEmailWindow(ComposeSession& session, Prompt& prompt, TimerPause* pause,
                    QWidget* parent = nullptr);

    // Fills the lists; false (after saying why) when there is no account to
    // send with, and the window should not be shown.
    bool prepare();
    void setSubject(const QString& subject);
    void setBody(const QString& body);
    QString body() const;
    // What "S&pell Check" runs on the body box; unset, it says that no
    // spelling checker is available.
    void setSpellCheck(std::function<void(QPlainTextEdit&)> check) {
        spellCheck_ = std::move(check);
    }

public Q_SLOTS:
    // The window's close button and Escape ask like "&Cancel".
    void reject() override;

private:
    void sendNow();
    void sendLater();
    void spell();
    ComposedMail composed() const;

    ComposeSession& session_;
    Prompt& prompt_;
    std::optional<TimerPause::Hold> hold_;
    std::function<void(QPlainTextEdit&)> spellCheck_;
    QComboBox* account_ = nullptr;
    QComboBox* to_ = nullptr;
    QComboBox* cc_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* body_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* later_ = nullptr;
    QPushButton* spellButton_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace gabblet
