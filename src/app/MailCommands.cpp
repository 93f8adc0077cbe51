#include "MailCommands.h"

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/SpeechServices.h"
#include "mail/AccountEditor.h"
#include "mail/AnnouncementEditor.h"
#include "mail/ui/AccountsDialog.h"
#include "mail/ui/AnnTextDialog.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/Prompt.h"
#include "platform/TimerPause.h"

#include <QAction>

namespace gabblet {

MailCommands::MailCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause,
                           SpeechServices& speech, ComposerFrame& composer)
    : state_(state), prompt_(prompt), window_(window), pause_(pause),
#ifdef GABBLET_HAVE_POPMAIL
      pop_(state.mail, state.settings, state.status, progress_), backends_(state.mail, &pop_),
#else
      backends_(state.mail, nullptr),
#endif
      ids_(state.mail, state.paths), checkUi_(&window),
      check_(state.mail, backends_, ids_, checkUi_, prompt), speech_(speech), composer_(composer),
#ifdef GABBLET_HAVE_POPMAIL
      bodies_(state.mail, &pop_),
#else
      bodies_(state.mail, nullptr),
#endif
      announcer_(speech.ctx, speech.speaker, state.AnnText, state.EmailMes),
      reader_(state.mail, state.settings, bodies_, viewers_, speech.speaker) {
    check_.setCheckTimer(&pause.timer());
    QAction* accounts = window_.command("AccountsSetup");
    accounts->setEnabled(true);
    connect(accounts, &QAction::triggered, this, &MailCommands::AccountsSetup);
    QAction* announcements = window_.command("DoAnn");
    announcements->setEnabled(true);
    connect(announcements, &QAction::triggered, this, &MailCommands::DoAnn);
    window_.showEmailLog(state.EmailMes);
}

MailCommands::~MailCommands() = default;

void MailCommands::AccountsSetup() {
    // Saving may move accounts to other slots; an operation waiting for its
    // server would then finish on the wrong account.
    if (anyAccountBusy(state_.mail)) {
        prompt_.inform(QStringLiteral("Gabblet is busy with e-mail at the moment. Please open the "
                                      "accounts again when it has finished."),
                       QStringLiteral("Accounts"));
        return;
    }
    AccountEditor editor(state_.mail, state_.settings, state_.paths, prompt_);
    AccountsDialog dialog(editor, check_, &pause_, &window_);
    dialog.setWindowIcon(window_.windowIcon());
    connect(&dialog, &AccountsDialog::accountsSaved, this, &MailCommands::accountsChanged);
    dialog.exec();
}

void MailCommands::loadAnnouncements(const std::function<void()>& beforeMessage) {
    LoadEmailAnn(state_.AnnText, state_.paths.userFile(QStringLiteral("emailann.txt")), prompt_,
                 beforeMessage);
}

void MailCommands::DoAnn() {
    AnnouncementEditor editor(state_.AnnText, prompt_,
                              state_.paths.userFile(QStringLiteral("emailann.txt")));
    const auto composed = [this] {
        const ComposerInput in = composer_.input();
        return ComposerMessage{in.text, in.character, in.action};
    };
    const auto test = [this](const AnnTemplate& shown) { announcer_.TestTemplate(shown); };
    AnnTextDialog dialog(editor, composed, test, &window_);
    dialog.setWindowIcon(window_.windowIcon());
    dialog.exec();
}

} // namespace gabblet
