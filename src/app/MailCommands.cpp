#include "MailCommands.h"

#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/SpeechServices.h"
#include "mail/AccountEditor.h"
#include "mail/AnnouncementEditor.h"
#include "mail/CheckScheduler.h"
#include "mail/InboxActions.h"
#include "mail/InboxModel.h"
#include "mail/MailCaches.h"
#include "mail/ui/AccountsDialog.h"
#include "mail/ui/AnnTextDialog.h"
#include "mail/ui/InboxPanel.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/Files.h"
#include "platform/Prompt.h"
#include "platform/TimerPause.h"
#include "platform/desktop/DBusNotifier.h"
#include "platform/desktop/NetworkDialUpProbe.h"
#include "state/MailTableOps.h"

#include <QAction>
#include <QRandomGenerator>
#include <QTime>

namespace gabblet {

namespace {

int randomChoice() {
    return int(QRandomGenerator::global()->bounded(1001));
}

// The announcer as the scheduler and the tree call it.
class AppAnnouncer final : public MailAnnouncer {
public:
    AppAnnouncer(const AnnouncementTemplates& templates, Announcer& announcer)
        : templates_(templates), announcer_(announcer) {}
    int chooseTemplate(int random) const override { return templates_.choose(random); }
    void SpeakSummary(int slot, int t) override { announcer_.SpeakSummary(slot, t); }
    void SpeakDetails(int slot, int t) override { announcer_.SpeakDetails(slot, t); }

private:
    const AnnouncementTemplates& templates_;
    Announcer& announcer_;
};

// What a check shows: the caption, the panel's progress bar, the tree, the
// character that spoke.
class AppCheckView final : public CheckView {
public:
    AppCheckView(MainWindow& window, InboxPanel& panel, InboxModel& model, SpeechServices& speech,
                 const SpeechState& state)
        : window_(window), panel_(panel), model_(model), speech_(speech), state_(state) {}
    void SetTitle(const QString& name) override { window_.SetTitle(name); }
    void ResetTitle() override { window_.ResetTitle(); }
    void showDownload(const QString& name) override {
        window_.SetTitle(name);
        panel_.StartProgress(name);
    }
    void hideDownload() override { panel_.EndProgress(); }
    void FillTree() override { model_.FillTree(); }
    void hideCharacter() override {
        if (!state_.CurrentCharacter.isEmpty())
            speech_.host.hide(state_.CurrentCharacter);
    }

private:
    MainWindow& window_;
    InboxPanel& panel_;
    InboxModel& model_;
    SpeechServices& speech_;
    const SpeechState& state_;
};

class AppReader final : public MessageReader {
public:
    explicit AppReader(MailReader& reader) : reader_(reader) {}
    void ReadEmail(int slot, int position) override { reader_.ReadEmail(slot, position); }

private:
    MailReader& reader_;
};

// Deleting on the server, through the account type's back-end; the types
// this program has no back-end for say so in the account's Status.
class AppDeleter final : public MessageDeleter {
public:
    AppDeleter(MailTables& tables, POPMail& pop, MailCity& city, HotMail& hot, LocalMail& local)
        : tables_(tables), pop_(pop), city_(city), hot_(hot), local_(local) {}
    bool deleteMessages(int slot, const QStringList& items) override {
        if (slot < 0 || slot >= kAccountSlots)
            return false;
        const QString& type = tables_.Acc[size_t(slot)].Type;
        if (type == kPOP3)
            return pop_.DelPOP(slot, items);
        if (type == QLatin1String("MailCity"))
            return city_.DelMes(slot, items);
        if (type == QLatin1String("HotMail"))
            return hot_.DelMes(slot, items);
        if (type == kOutlook)
            return local_.OutlookDelete(slot, items);
        tables_.MailState[size_t(slot)].Status =
            type + QStringLiteral(" deletion is not supported yet");
        return false;
    }

private:
    MailTables& tables_;
    POPMail& pop_;
    MailCity& city_;
    HotMail& hot_;
    LocalMail& local_;
};

} // namespace

struct MailCommands::Inbox {
    Inbox(MailCommands& c, AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause,
          SpeechServices& speech)
        : caches(state.mail, state.paths),
          model(state.mail, state.settings,
                [this](int slot, int p) { return !caches.bodyPath(slot, p).isEmpty(); }),
          panel(new InboxPanel(model, actions, &window)),
          view(window, *panel, model, speech, state.speech), announcer(state.AnnText, c.announcer_),
          reader(c.reader_), deleter(state.mail, c.pop_, c.mailCity_, c.hotMail_, c.localMail_),
          notifier([&state](const QString& line) { state.status.AddStatus(line + kCrLf); }),
          scheduler(CheckServices{state.mail, state.settings, state.speech, c.check_, c.backends_,
                                  c.ids_, dialUp, speech.sound, announcer, view, state.status,
                                  pause, &notifier, randomChoice,
                                  [] { return QTime::currentTime().toString(u"HH:mm:ss"); }}),
          actions(InboxServices{state.mail, state.settings, c.check_, c.backends_, c.ids_, caches,
                                model, prompt, announcer, view, reader, deleter, pause,
                                randomChoice, [this, &window](bool on) {
                                    panel->setCheckCommandsEnabled(on);
                                    window.command("MCheckEmail")->setEnabled(on);
                                    window.command("MRefresh")->setEnabled(on);
                                }}) {}

    MailCaches caches;
    InboxModel model;
    InboxPanel* panel; // the window owns it
    AppCheckView view;
    AppAnnouncer announcer;
    AppReader reader;
    AppDeleter deleter;
    NetworkDialUpProbe dialUp;
    DBusNotifier notifier;
    CheckScheduler scheduler;
    InboxActions actions;
};

MailCommands::MailCommands(AppState& state, Prompt& prompt, MainWindow& window, TimerPause& pause,
                           SpeechServices& speech, ComposerFrame& composer)
    : state_(state), prompt_(prompt), window_(window), pause_(pause), progress_(window),
      pop_(state.mail, state.settings, state.status, progress_), backends_(state.mail, pop_),
      ids_(state.mail, state.paths), checkUi_(&window),
      check_(state.mail, backends_, ids_, checkUi_, prompt),
      webFetch_(state.settings, state.status),
      mailCity_(
          {state.mail, state.settings, state.status, progress_, webClock_, state.paths, webFetch_}),
      hotMail_(
          {state.mail, state.settings, state.status, progress_, webClock_, state.paths, webFetch_}),
      localMail_(state.mail, state.settings, state.status, progress_, state.paths), speech_(speech),
      composer_(composer), bodies_(pop_),
      announcer_(speech.ctx, speech.speaker, state.AnnText, state.EmailMes),
      reader_(state.mail, state.settings, bodies_, viewers_, speech.speaker),
      browsers_(
          state.settings, [this](int slot) { return webService(slot).session(slot); },
          [this](const QString& session) -> QNetworkAccessManager& {
              return webFetch_.manager(session);
          }) {
    backends_.setWebMail(&mailCity_, &hotMail_);
    backends_.setLocalMail(&localMail_);
    bodies_.setLocalMail(&localMail_);
    check_.setCheckTimer(&pause.timer());
    QAction* accounts = window_.command("AccountsSetup");
    accounts->setEnabled(true);
    connect(accounts, &QAction::triggered, this, &MailCommands::AccountsSetup);
    QAction* announcements = window_.command("DoAnn");
    announcements->setEnabled(true);
    connect(announcements, &QAction::triggered, this, &MailCommands::DoAnn);
    window_.showEmailLog(state.EmailMes);

    inbox_ = std::make_unique<Inbox>(*this, state, prompt, window, pause, speech);
    progress_.setBar(inbox_->panel);
    window_.setInboxPanel(inbox_->panel);
    MailCaches& caches = inbox_->caches;
    // A web-mail login is kept in the account's header cache at once, so a
    // restart within the hour reuses it.
    for (WebMail* web : {static_cast<WebMail*>(&mailCity_), static_cast<WebMail*>(&hotMail_)})
        web->setLoginHook([&caches](int slot) { caches.saveHeaderCache(slot); });
    reader_.setBodyCache(BodyCacheAccess{
        [&caches](int slot, int p, QString& text) { return caches.readBody(slot, p, text); },
        [this, &caches](int slot, int p, const QString& text) {
            caches.writeBody(slot, p, text);
            inbox_->model.FillTree(); // the cached mark
        }});
    viewers_.setBrowserCloser([this] { browsers_.closeBrowser(); });
    webReader_ = std::make_unique<WebMailReading>(
        state.mail, state.settings, browsers_, speech.speaker,
        WebReadingServices{
            [this](int slot, int p) { return webService(slot).fetchMessagePage(slot, p); },
            [&caches](int slot, int p) { return caches.bodyPath(slot, p); },
            [this, &caches](int slot, int p, const QString& html) {
                caches.writeBody(slot, p, html, true);
                inbox_->model.FillTree();
            },
            [this] { return inbox_->actions.readingWithShift(); }});
    reader_.setWebMailReader([this](int slot, int p) { webReader_->ReadEmail(slot, p); });
    CheckScheduler& scheduler = inbox_->scheduler;
    InboxPanel* panel = inbox_->panel;
    QAction* checkNow = window_.command("MCheckEmail");
    QAction* refresh = window_.command("MRefresh");
    for (QAction* a : {checkNow, refresh})
        a->setEnabled(true);
    connect(checkNow, &QAction::triggered, this, [&scheduler] { scheduler.MCheckEmail(); });
    connect(refresh, &QAction::triggered, this, [&scheduler] { scheduler.MRefresh(); });
    connect(panel, &InboxPanel::checkNowRequested, this,
            [&scheduler] { scheduler.ManualCheckEmail(); });
    connect(panel, &InboxPanel::refreshRequested, this, [&scheduler] { scheduler.MRefresh(); });
    connect(&pause.timer(), &QTimer::timeout, this, [&scheduler] { scheduler.Timer2(); });
    connect(&inbox_->notifier, &DBusNotifier::activated, &window_, &MainWindow::showInbox);
    connect(this, &MailCommands::accountsChanged, &inbox_->model, &InboxModel::FillTree);
}

void MailCommands::loadHeaderCaches() {
    if (state_.settings.CacheAcc)
        inbox_->caches.loadHeaderCaches(QDateTime::currentDateTime());
}

void MailCommands::FillTree() {
    inbox_->model.FillTree();
}

bool MailCommands::saveCaches() {
    return inbox_->caches.saveAll();
}

CheckScheduler& MailCommands::scheduler() {
    return inbox_->scheduler;
}

InboxPanel& MailCommands::inboxPanel() {
    return *inbox_->panel;
}

MailCommands::~MailCommands() = default;

WebMail& MailCommands::webService(int slot) {
    const bool hot = slot >= 0 && slot < kAccountSlots &&
                     state_.mail.Acc[size_t(slot)].Type == QLatin1String("HotMail");
    return hot ? static_cast<WebMail&>(hotMail_) : static_cast<WebMail&>(mailCity_);
}

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
