#include "MailCommands.h"

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "mail/AccountEditor.h"
#include "mail/ui/AccountsDialog.h"
#include "platform/Prompt.h"
#include "platform/TimerPause.h"
#include "state/MailTableOps.h"

#include <QAction>

namespace gabblet {

MailCommands::MailCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause)
    : state_(state), prompt_(prompt), window_(window), pause_(pause), progress_(window),
      pop_(state.mail, state.settings, state.status, progress_), backends_(state.mail, pop_),
      ids_(state.mail, state.paths), checkUi_(&window),
      check_(state.mail, backends_, ids_, checkUi_, prompt),
      webFetch_(state.settings, state.status),
      mailCity_(
          {state.mail, state.settings, state.status, progress_, webClock_, state.paths, webFetch_}),
      hotMail_({state.mail, state.settings, state.status, progress_, webClock_, state.paths,
                webFetch_}) {
    backends_.setWebMail(&mailCity_, &hotMail_);
    check_.setCheckTimer(&pause.timer());
    QAction* accounts = window_.command("AccountsSetup");
    accounts->setEnabled(true);
    connect(accounts, &QAction::triggered, this, &MailCommands::AccountsSetup);
}

MailCommands::~MailCommands() = default;

void MailCommands::AccountsSetup() {
    // Saving may move accounts to other slots; an operation waiting for its
    // server would then finish on the wrong account.
    if (IsAnyBusy(state_.mail)) {
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

} // namespace gabblet
