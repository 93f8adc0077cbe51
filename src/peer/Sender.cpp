#include "Sender.h"

#include "peer/AliasTable.h"
#include "peer/History.h"
#include "peer/PeerSockets.h"
#include "peer/WireFormat.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/Prompt.h"
#include "platform/StatusLog.h"
#include "platform/Wait.h"
#include "speech/Speaker.h"
#include "speech/Variables.h"

#include <QDeadlineTimer>
#include <QHostInfo>
#include <QNetworkDatagram>

#include <memory>

namespace gabblet {

namespace {

using wire::kHideCode;
using wire::kSyncCode;

// Host names are looked up without freezing the window: the lookup runs in
// Qt's resolver and the wait lets events through.
QHostAddress resolveHost(const QString& name) {
    QHostAddress literal;
    if (literal.setAddress(name))
        return literal;
    if (name.isEmpty())
        return {};
    auto result = std::make_shared<std::optional<QHostInfo>>();
    QHostInfo::lookupHost(name, [result](const QHostInfo& info) {
        *result = info;
        wakeWaiters();
    });
    waitUntil([result] { return result->has_value(); }, 5000);
    if (!result->has_value())
        return {};
    for (const QHostAddress& a : (*result)->addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    }
    return (*result)->addresses().value(0);
}

QString plainAddress(const QHostAddress& a) {
    bool v4 = false;
    const quint32 ip = a.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : a.toString();
}

class BusyPointer {
public:
    explicit BusyPointer(Sender& s) : s_(s) { Q_EMIT s_.busyChanged(true); }
    ~BusyPointer() { Q_EMIT s_.busyChanged(false); }

private:
    Sender& s_;
};

} // namespace

QString Sender::Table::characterFor(qsizetype i) const {
    return characters.isEmpty() ? QString() : characters.at(i % characters.size());
}

Sender::Sender(QUdpSocket& socket, quint16 peerPort, AliasTable& aliases, MessageHistory& sent,
               SpeechContext& speech, Speaker& speaker, Prompt& prompt)
    : socket_(socket), peerPort_(peerPort), aliases_(aliases), sent_(sent), speech_(speech),
      speaker_(speaker), prompt_(prompt), stack_(&prompt) {
    connect(&socket_, &QUdpSocket::readyRead, this, &Sender::drainReplies);
}

void Sender::drainReplies() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_.receiveDatagram(65536);
        if (!d.isValid())
            break;
        handleReply(d.data(), d.senderAddress());
    }
}

void Sender::handleReply(const QByteArray& payload, const QHostAddress& source) {
    QString r = cp1252::decode(payload.left(4096));
    QString version;
    if (const qsizetype open = r.indexOf(QLatin1String(":(")); open >= 0) {
        const qsizetype close = r.indexOf(QLatin1String("):"), open + 2);
        if (close >= 0) {
            version = r.mid(open + 2, close - open - 2);
            r = r.mid(close + 2);
        }
    }
    const QString name = aliases_.LookupAliasName(plainAddress(source));
    if (r.endsWith(QLatin1Char('R'))) {
        QString mode;
        if (r == QLatin1String("R"))
            mode = QStringLiteral("Y");
        else if (r.size() >= 2 &&
                 (r.at(r.size() - 2) == QLatin1Char('Q') || r.at(r.size() - 2) == QLatin1Char('N')))
            mode = r.at(r.size() - 2);
        Q_EMIT scanLine(mode + QLatin1Char(' ') + name + QLatin1Char(' ') + version);
    } else {
        speech_.status.AddStatus(name);
        if (r.endsWith(QLatin1Char('Q')))
            speech_.status.AddStatus(QStringLiteral(" Quiet"));
        if (r.endsWith(QLatin1Char('N')))
            speech_.status.AddStatus(QStringLiteral(" No Actions"));
        speech_.status.AddStatus(kCrLf);
    }
    stack_.push(name);
    wakeWaiters();
}

bool Sender::stopRequested() const {
    return speech_.speech.StopRequested;
}

QString Sender::WaitForReply() {
    waitUntil([this] { return stack_.isNotEmpty(); }, kReplyWaitMs);
    return stack_.isNotEmpty() ? stack_.pop() : QString();
}

bool Sender::sendTo(const QString& address, const QString& payload, QString* error) {
    if (peerPort_ == 0) {
        if (error)
            *error = QStringLiteral("peer messaging is off (no port is set)");
        return false;
    }
    const QHostAddress to = resolveHost(address.trimmed());
    if (to.isNull()) {
        if (error)
            *error = QStringLiteral("unknown");
        return false;
    }
    if (socket_.writeDatagram(cp1252::encode(payload), to, peerPort_) < 0) {
        if (error)
            *error = socket_.errorString();
        return false;
    }
    return true;
}

QString Sender::nowValue(const QString& name) const {
    return EvalVariable(speech_, name, false);
}

QString Sender::ownName() const {
    const QString host = QHostInfo::localHostName();
    return host.isEmpty() ? PeerSockets::machineAddress() : host;
}

bool Sender::Send(const ComposerInput& in) {
    if (in.to.trimmed().isEmpty()) {
        prompt_.inform(QStringLiteral("An address to send the message to would be useful."));
        return false;
    }
    BusyPointer busy(*this);
    const QString suffix = sendSuffix(in.text, in.hideAtEnd, in.sync);
    QString target = in.toAddress;
    if (target.isEmpty())
        target = aliases_.ResolveAlias(in.to);
    target.replace(QLatin1Char(','), QLatin1Char(';'));
    QStringList entries = target.split(QLatin1Char(';'));
    entries.removeIf([](const QString& e) { return e.trimmed().isEmpty(); });
    if (entries.isEmpty())
        entries << target;
    for (qsizetype i = 0; i + 1 < entries.size(); ++i)
        sendTo(aliases_.ResolveAlias(entries.at(i)),
               wire::messagePayload(in.action, in.character, in.text + suffix));

    const QString replaced = replaceVariables(
        in.text, [this](const QString& name) { return nowValue(name); }, &speech_.status);
    QString error;
    if (!sendTo(aliases_.ResolveAlias(entries.last()),
                wire::messagePayload(in.action, in.character, replaced + suffix), &error)) {
        if (error == QLatin1String("unknown")) {
            prompt_.inform(QStringLiteral("Unknown address: ") + entries.last().trimmed());
        } else {
            prompt_.inform(QStringLiteral("Send_Click Sorry: ") + error);
            return false;
        }
    }
    sent_.append(ownName(), in.character, in.text + suffix, speech_.clock.now());
    Q_EMIT historyChanged();
    return true;
}

bool Sender::prepareRun(const ComposerInput& in, Table& table) {
    const QStringList recipients = splitList(in.to);
    table.characters = splitList(in.character);
    if (recipients.size() > kMaxTable) {
        prompt_.inform(QStringLiteral("Sorry - no more than 21 recipients at a time."));
        return false;
    }
    if (table.characters.size() > kMaxTable) {
        prompt_.inform(QStringLiteral("Sorry - no more than 21 characters at a time."));
        return false;
    }
    if (recipients.isEmpty()) {
        prompt_.inform(QStringLiteral("An address to send the message to would be useful."));
        return false;
    }
    table.addresses.clear();
    for (const QString& r : recipients)
        table.addresses << aliases_.ResolveAlias(r);
    table.hide = hideSuffix(in.text, in.hideAtEnd);
    table.pieces = splitPieces(replaceVariables(
        in.text, [this](const QString& name) { return nowValue(name); }, nullptr));
    // The stop command (Stop, Esc, the menu) ends the run after the piece
    // being spoken; a stop from before the run does not count.
    speech_.speech.StopRequested = false;
    stack_.clear();
    return true;
}

QString Sender::Table::payload(const QString& action, qsizetype i, const QString& text) const {
    return wire::messagePayload(action, characterFor(i), text);
}

void Sender::Sequential(const ComposerInput& in) {
    Table table;
    if (!prepareRun(in, table))
        return;
    BusyPointer busy(*this);
    const qsizetype n = table.addresses.size();
    auto nextLive = [&](qsizetype from) -> qsizetype {
        for (qsizetype k = 0; k < n; ++k) {
            const qsizetype i = (from + k) % n;
            if (!table.addresses.at(i).isEmpty())
                return i;
        }
        return -1;
    };
    qsizetype current = nextLive(0);
    for (const QString& piece : table.pieces) {
        if (stopRequested() || current < 0)
            break;
        sendTo(table.addresses.at(current), table.payload(in.action, current, piece + kSyncCode));
        if (WaitForReply().isEmpty())
            table.addresses[current].clear();
        current = nextLive(current + 1);
        if (current < 0) {
            prompt_.inform(QStringLiteral("No recipients responding"));
            return;
        }
    }
    if (!table.hide.isEmpty() && !stopRequested()) {
        for (qsizetype i = 0; i < n; ++i) {
            if (table.addresses.at(i).isEmpty())
                continue;
            sendTo(table.addresses.at(i), table.payload(in.action, i, kHideCode));
            if (WaitForReply().isEmpty())
                table.addresses[i].clear();
        }
    }
}

void Sender::Parallel(const ComposerInput& in) {
    Table table;
    if (!prepareRun(in, table))
        return;
    BusyPointer busy(*this);
    const qsizetype n = table.addresses.size();
    // Each recipient's own address, to match replies by where they come from
    // (a recipient typed as a host name answers from its address).
    QList<QHostAddress> resolved;
    for (const QString& a : table.addresses)
        resolved << resolveHost(a.trimmed());

    auto round = [&](const QString& piece, bool restartOnReply) -> bool {
        QList<bool> marked(n, false);
        qsizetype live = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (table.addresses.at(i).isEmpty())
                continue;
            ++live;
            sendTo(table.addresses.at(i), table.payload(in.action, i, piece + kSyncCode));
        }
        QDeadlineTimer limit(kReplyWaitMs);
        for (qsizetype awaited = 0; awaited < live && !limit.hasExpired(); ++awaited) {
            const QString name = WaitForReply();
            if (name.isEmpty())
                continue;
            if (restartOnReply)
                limit.setRemainingTime(kReplyWaitMs);
            const QString address = aliases_.ResolveAlias(name);
            const QHostAddress from = resolveHost(address);
            for (qsizetype i = 0; i < n; ++i) {
                if (!marked.at(i) && !table.addresses.at(i).isEmpty() &&
                    (table.addresses.at(i) == address ||
                     (!from.isNull() && resolved.at(i) == from))) {
                    marked[i] = true;
                    break;
                }
            }
        }
        bool any = false;
        for (qsizetype i = 0; i < n; ++i) {
            if (!marked.at(i))
                table.addresses[i].clear();
            any = any || marked.at(i);
        }
        if (!any)
            prompt_.inform(QStringLiteral("No responses received"));
        return any;
    };

    if (!round(QStringLiteral(" "), false))
        return;
    for (const QString& piece : table.pieces) {
        if (stopRequested() || !round(piece, true))
            return;
    }
    // Like Sequence, a stopped run leaves the characters where they are. The
    // closing hide plays the action chosen from the list, not a typed one.
    if (!table.hide.isEmpty() && !stopRequested()) {
        for (qsizetype i = 0; i < n; ++i) {
            if (!table.addresses.at(i).isEmpty())
                sendTo(table.addresses.at(i), table.payload(in.selectedAction, i, kHideCode));
        }
    }
}

void Sender::Test(const ComposerInput& in) {
    BusyPointer busy(*this);
    QString text = in.text + (in.hideAtEnd ? kHideCode : QString());
    QString character = in.character;
    const QString prefix = QStringLiteral("\\Map=\"\"=\"Me: \"\\");
    speech_.speech.TestMode = true;
    speaker_.Speak(text, in.action, character, prefix, false);
    speech_.speech.TestMode = false;
}

void Sender::ActiveCheck() {
    Q_EMIT scanCleared();
    for (qsizetype i = 0; i < aliases_.count(); ++i) {
        const QString address = aliases_.address(i);
        if (address.contains(QLatin1Char(';'))) {
            Q_EMIT scanLine(QStringLiteral("S  ") + address);
            continue;
        }
        QString error;
        if (!sendTo(address, wire::kCheckRequest, &error)) {
            if (error == QLatin1String("unknown")) {
                Q_EMIT scanLine(QStringLiteral("? ") + address);
                continue;
            }
            prompt_.inform(QStringLiteral("ActiveCheck Sorry: ") + error);
            return;
        }
    }
}

} // namespace gabblet
