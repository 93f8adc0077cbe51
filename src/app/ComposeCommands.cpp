#include "ComposeCommands.h"

#include "app/AppState.h"
#include "app/MailCommands.h"
#include "app/MainWindow.h"
#include "compose/GabbletMail.h"
#include "compose/SpellChecker.h"
#include "compose/ui/OutboxPanel.h"
#include "compose/ui/SendEmailWindow.h"
#include "compose/ui/SpellingDialog.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/TimerPause.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>

namespace gabblet {
namespace {

SendBackends backendsOf(MailCommands& mail) {
    SendBackends b;
    POPMail& pop = mail.pop();
    b.pop = [&pop](const QString& sender, const QString& to, const QString& cc,
                   const QString& subject, const QString& body,
                   int slot) { return pop.SendPOP(sender, to, cc, subject, body, slot); };
    MailCity& city = mail.mailCity();
    b.mailCity = [&city](int slot, const QString& subject, const QString& to, const QString& cc,
                         const QString& bcc, const QString& body) {
        return city.SendMail(slot, subject, to, cc, bcc, body);
    };
    HotMail& hot = mail.hotMail();
    b.hotMail = [&hot](int slot, const QString& subject, const QString& to, const QString& cc,
                       const QString& bcc, const QString& body) {
        return hot.SendMail(slot, subject, to, cc, bcc, body);
    };
    LocalMail& local = mail.localMail();
    b.outlook = [&local](const QString& to, const QString& cc, const QString& subject,
                         const QString& body,
                         int slot) { return local.OutlookSend(to, cc, subject, body, slot); };
    b.busyPointer = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    return b;
}

} // namespace

ComposeCommands::ComposeCommands(AppState& state, Prompt& prompt, MainWindow& window,
                                 TimerPause& pause, ComposerFrame& composer, MailCommands& mail)
    : state_(state), prompt_(prompt), window_(window), pause_(pause), composer_(composer),
      sender_(state.mail, backendsOf(mail)),
      outbox_(sender_, state.paths.userFile(QStringLiteral("Outbox"))),
      session_(ComposeServices{state.mail, state.settings, prompt, dialUp_, sender_, outbox_,
                               clock_, [this] { UpdateOutbox(); }}) {
    panel_ = new OutboxPanel(outbox_, state.mail, prompt, &window);
    panel_->setTitleHooks([this](const QString& name) { window_.SetTitle(name); },
                          [this] { window_.ResetTitle(); });
    auto* write = new QPushButton(QStringLiteral("&Write E-mail..."), panel_);
    write->setObjectName(QStringLiteral("DoSendEmail"));
    write->setToolTip(QStringLiteral("Write an e-mail to send now or later"));
    panel_->addComposeButton(write);
    window_.setOutboxPanel(panel_);
    connect(write, &QPushButton::clicked, this, &ComposeCommands::DoSendEmail);

    QAction* send = window_.command("MSendEmail");
    send->setEnabled(true);
    connect(send, &QAction::triggered, this, &ComposeCommands::DoSendEmail);
    connect(&composer_, &ComposerFrame::emailClicked, this, &ComposeCommands::EmailGabblet);
    // Accounts switched on or off show or hide their waiting mail.
    connect(&mail, &MailCommands::accountsChanged, this, &ComposeCommands::UpdateOutbox);
}

ComposeCommands::~ComposeCommands() = default;

void ComposeCommands::UpdateOutbox() {
    panel_->UpdateOutbox();
}

void ComposeCommands::compose(const QString& subject, const QString& body) {
    SendEmailWindow window(session_, prompt_, &pause_, &window_);
    window.setWindowIcon(window_.windowIcon());
    window.setSpellCheck([this, &window](QPlainTextEdit& body) {
        // The dictionary is loaded for each check: a dictionary installed
        // meanwhile is found, and nothing is held while no one checks.
        SpellingSetup setup;
        setup.personalList = state_.paths.file(kPersonalWordList);
        const std::unique_ptr<SpellChecker> checker = makeHunspellChecker(setup);
        CheckSpelling(body, *checker, prompt_, &window);
    });
    if (!window.prepare())
        return;
    if (!subject.isEmpty())
        window.setSubject(subject);
    if (!body.isEmpty())
        window.setBody(body);
    window.exec();
}

void ComposeCommands::DoSendEmail() {
    compose({}, {});
}

void ComposeCommands::EmailGabblet() {
    // Checking stops while the window is open and afterwards runs again
    // only if it ran before.
    TimerPause::Hold hold(pause_);
    const ComposerInput in = composer_.input();
    compose(kGabbletSubject,
            gabbletMailBody(in.character, in.selectedAction, in.text, in.hideAtEnd));
}

} // namespace gabblet
