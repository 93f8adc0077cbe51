#include "Messaging.h"

#include "app/AppState.h"
#include "app/SpeechServices.h"
#include "peer/Receiver.h"
#include "peer/Sender.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/Prompt.h"
#include "speech/CharacterCatalogue.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenu>

namespace gabblet {

Messaging::Messaging(AppState& state, Prompt& prompt, SpeechServices& speech, ComposerFrame& frame)
    : state_(state), prompt_(prompt), speech_(speech), frame_(frame) {
    Settings& s = state_.settings;
    frame_.setNoAction(s.NoAction);
    frame_.setQuiet(s.Quiet);
    connect(&frame_, &ComposerFrame::noActionToggled, this,
            [this](bool on) { state_.settings.NoAction = on; });
    connect(&frame_, &ComposerFrame::quietToggled, this,
            [this](bool on) { state_.settings.Quiet = on; });
    connect(&frame_, &ComposerFrame::historyClicked, this, &Messaging::reuseRecord);
    connect(&frame_, &ComposerFrame::historyMenuRequested, this, &Messaging::historyMenu);
    connect(&frame_, &ComposerFrame::characterChosen, this, &Messaging::chooseCharacter);
    connect(&frame_, &ComposerFrame::notePreviewRequested, this, &Messaging::previewNote);
    connect(&frame_, &ComposerFrame::browseWaveClicked, this, &Messaging::browseWave);
    state_.aliases.setLocalAddressSource([this] { return state_.sockets.localAddress(); });
}

Messaging::~Messaging() = default;

void Messaging::loadAliases() {
    const QString path = state_.paths.userFile(QStringLiteral("alias.lst"));
    if (QFileInfo::exists(path))
        state_.aliases.load(path);
    state_.blocked.load(state_.paths.userFile(QStringLiteral("blocked.lst")));
    frame_.refreshAliases(state_.aliases);
    frame_.selectFirstRecipient();
}

bool Messaging::loadHistories() {
    if (!QFileInfo::exists(state_.paths.userFile(QStringLiteral("rec.txt"))))
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A history file that could not be read is not written over at exit.
    loaded_[0] = state_.MesRec[0].load(state_.paths.userFile(QStringLiteral("rec.txt")));
    loaded_[1] = state_.MesRec[1].load(state_.paths.userFile(QStringLiteral("send.txt")));
    QApplication::restoreOverrideCursor();
    showHistory(0);
    showHistory(1);
    return true;
}

bool Messaging::saveHistories() {
    const bool received =
        !loaded_[0] || state_.MesRec[0].save(state_.paths.userFile(QStringLiteral("rec.txt")));
    const bool sent =
        !loaded_[1] || state_.MesRec[1].save(state_.paths.userFile(QStringLiteral("send.txt")));
    return received && sent;
}

// Histories only grow while the program runs, so the box gets just the new
// records; rebuilding it for every message would make a flood quadratic.
void Messaging::showHistory(int box) {
    const QString& text = state_.MesRec[box].text();
    qsizetype& shown = shownSize_[box];
    if (shown > text.size()) {
        frame_.clearHistory(box);
        shown = 0;
    }
    QString added = text.mid(shown);
    shown = text.size();
    frame_.appendHistory(box, added.replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

// The box shows line breaks as one character where the history keeps CR LF.
std::optional<MessageHistory::Reuse> Messaging::recordAt(int box, int caret) const {
    const QString shown = frame_.historyText(box);
    const qsizetype breaks = shown.left(qMax(0, caret - 1)).count(QLatin1Char('\n'));
    return state_.MesRec[box].recordAt(caret + breaks);
}

void Messaging::reuseRecord(int box, int caret) {
    const auto record = recordAt(box, caret);
    if (!record)
        return;
    QString body = record->body;
    frame_.reuse(state_.aliases.LookupAliasName(record->sender).trimmed(),
                 record->character.trimmed(),
                 body.replace(QLatin1String("\r\n"), QLatin1String("\n")), record->hideAtEnd);
}

// The received history's menu offers to block the record's sender (each
// member of a group alias) or to let it through again.
void Messaging::historyMenu(int box, int caret, const QPoint& at) {
    QMenu* menu = frame_.historyMenu(box);
    const auto record = box == 0 ? recordAt(box, caret) : std::nullopt;
    const QString name = record ? record->sender.trimmed() : QString();
    if (!name.isEmpty()) {
        const QStringList addresses = state_.aliases.memberAddresses(name);
        QAction* first = menu->actions().value(0);
        auto* block = new QAction(QStringLiteral("Block ") + name, menu);
        block->setObjectName(QStringLiteral("BlockSender"));
        block->setEnabled(!state_.blocked.allBlocked(addresses));
        connect(block, &QAction::triggered, this,
                [this, addresses] { setBlocked(addresses, true); });
        auto* unblock = new QAction(QStringLiteral("Unblock ") + name, menu);
        unblock->setObjectName(QStringLiteral("UnblockSender"));
        unblock->setEnabled(state_.blocked.anyBlocked(addresses));
        connect(unblock, &QAction::triggered, this,
                [this, addresses] { setBlocked(addresses, false); });
        menu->insertAction(first, block);
        menu->insertAction(first, unblock);
        menu->insertSeparator(first);
    }
    // Chosen from a script the menu would stay open: it closes either way.
    connect(menu, &QMenu::triggered, menu, &QMenu::close);
    menu->popup(at);
}

void Messaging::setBlocked(const QStringList& addresses, bool blocked) {
    BlockList& list = state_.blocked;
    if (!(blocked ? list.block(addresses) : list.unblock(addresses)))
        return;
    const QString path = state_.paths.userFile(QStringLiteral("blocked.lst"));
    if (!list.save(path))
        prompt_.inform(QStringLiteral("Sorry - the block list could not be saved in ") + path +
                       QStringLiteral(". The change holds until Gabblet ends."));
}

void Messaging::showCharacters(const QStringList& names) {
    frame_.setCharacters(names);
    chooseCharacter(names.value(0));
}

void Messaging::chooseCharacter(const QString& name) {
    const CharacterSelection chosen = selectCharacter(speech_.host, state_.settings, name);
    state_.ActionList = chosen.animations;
    frame_.setActions(chosen.animations);
    if (!chosen.loaded.isEmpty())
        state_.speech.CurrentCharacter = chosen.loaded;
    if (chosen.hasVoice)
        frame_.setVoice(chosen.pitch, chosen.speed);
}

void Messaging::previewNote(const QString& text) {
    QString t = text;
    QString character = frame_.character();
    speech_.speaker.Speak(t, QString(), character, QString(), false);
}

void Messaging::browseWave() {
    const QString path =
        prompt_.chooseFile({FileDialogKind::Open, QStringLiteral("Specify a Wave sound file"),
                            QStringLiteral("Wave (*.wav)|*.wav"), QStringLiteral("wav")});
    if (!path.isEmpty())
        frame_.setWaveFile(path);
}

void Messaging::start() {
    // Port 0 turns peer messaging off: nothing is bound and nothing is sent.
    const quint16 peerPort = state_.settings.Port > 0 ? quint16(state_.settings.Port + 1) : 0;
    receiver_ = std::make_unique<Receiver>(state_.sockets.RecSock, state_.settings, state_.aliases,
                                           state_.MesRec[0], speech_.speaker, speech_.clock,
                                           Receiver::Guarding{&state_.status, &state_.blocked, {}});
    sender_ = std::make_unique<Sender>(state_.sockets.SendSock, peerPort, state_.aliases,
                                       state_.MesRec[1], speech_.ctx, speech_.speaker, prompt_);
    // The receiver tells of new records once per batch of datagrams, so a
    // flood costs the box a bounded amount of work between two drains of the
    // socket, however long the history has grown.
    connect(receiver_.get(), &Receiver::historyChanged, this, [this] { showHistory(0); });
    connect(sender_.get(), &Sender::historyChanged, this, [this] { showHistory(1); });
    connect(sender_.get(), &Sender::scanCleared, &frame_, &ComposerFrame::clearScan);
    connect(sender_.get(), &Sender::scanLine, &frame_, &ComposerFrame::addScanLine);
    connect(sender_.get(), &Sender::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    connect(&frame_, &ComposerFrame::sendClicked, this, [this] {
        if (sender_->Send(frame_.input()))
            frame_.clearText();
    });
    connect(&frame_, &ComposerFrame::sequenceClicked, this,
            [this] { sender_->Sequential(frame_.input()); });
    connect(&frame_, &ComposerFrame::parallelClicked, this,
            [this] { sender_->Parallel(frame_.input()); });
    connect(&frame_, &ComposerFrame::testClicked, this, [this] { sender_->Test(frame_.input()); });
    connect(&frame_, &ComposerFrame::scanClicked, this, [this] {
        frame_.showScan();
        sender_->ActiveCheck();
    });
}

} // namespace gabblet
