#include "POPMail.h"

#include "backends/ReplyParsing.h"
#include "platform/ProgressReporter.h"
#include "platform/StatusLog.h"
#include "state/MailTableOps.h"
#include "state/Settings.h"

#include <algorithm>

namespace gabblet {
namespace {

using replies::popOk;
using replies::popReplyEnd;

// TOP commands on their way at once when the server allows pipelining: more
// than a round trip's worth on a slow link, little for the server to hold.
constexpr int kPipelineWindow = 64;
// RETR may take longer than a reply: a whole message has to come.
constexpr int kRetrSeconds = 60;

// Busy is set for as long as the scope lives, and cleared on every way out.
class BusyScope {
public:
    explicit BusyScope(MailStateRec& state) : state_(state) { state_.Busy = true; }
    ~BusyScope() { state_.Busy = false; }
    Q_DISABLE_COPY_MOVE(BusyScope)

private:
    MailStateRec& state_;
};

// The first listed position whose identifier is id; -1 when none is.
int positionOf(const MailStateRec& st, qsizetype count, const QString& id) {
    const qsizetype end = std::min<qsizetype>(count, kIdPositions);
    for (qsizetype p = 0; p < end; ++p)
        if (st.MsgID.at(p) == id)
            return int(p);
    return -1;
}

// POP3 doubles a leading dot in every line of a multi-line reply; the
// message itself has it once. The final "." line stays as it is.
QByteArray unstuffed(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf("\r\n", start);
        end = end < 0 ? text.size() : end + 2;
        QByteArrayView line = text.sliced(start, end - start);
        if (line.startsWith("..") && start > 0)
            line = line.sliced(1);
        out += line;
        start = end;
    }
    return out;
}

bool completeLine(const QByteArray& buf) {
    return popReplyEnd(buf, false) >= 0;
}

} // namespace

POPMail::POPMail(MailTables& tables, const Settings& settings, StatusLog& log,
                 ProgressReporter& progress)
    : tables_(tables), settings_(settings), log_(log), progress_(progress),
      pop3_(settings, log, QStringLiteral("POP3")) {}

POPMail::~POPMail() = default;

const QByteArray& POPMail::RecBuf() const {
    return const_cast<MailConnection&>(pop3_).RecBuf();
}

bool POPMail::validAccount(int acc) const {
    return acc >= 0 && acc < kAccountSlots;
}

bool POPMail::refusedAsBusy(int acc) {
    MailStateRec& st = tables_.MailState[acc];
    if (!IsAnyBusy(tables_) && !st.Busy)
        return false;
    st.Status = QStringLiteral("busy");
    return true;
}

bool POPMail::command(QByteArrayView line, QByteArrayView shown) {
    pop3_.clear();
    if (!pop3_.isOpen())
        return false;
    pop3_.setLimit(MailConnection::kLineLimit);
    pop3_.send(line, shown);
    return pop3_.WaitFor(completeLine, settings_.TimeOut) && popOk(pop3_.RecBuf());
}

bool POPMail::multiLineCommand(QByteArrayView line, qsizetype limit, int seconds) {
    pop3_.clear();
    if (!pop3_.isOpen())
        return false;
    pop3_.setLimit(limit);
    pop3_.send(line);
    const bool complete =
        pop3_.WaitFor([](const QByteArray& buf) { return popReplyEnd(buf, true) >= 0; }, seconds);
    return complete && popOk(pop3_.RecBuf());
}

bool POPMail::greet(QByteArrayView) {
    pop3_.setLimit(MailConnection::kLineLimit);
    bool ok = pop3_.WaitFor(completeLine, settings_.TimeOut) && popOk(pop3_.RecBuf());
    pop3_.clear();
    // Some servers wait for a line before they speak.
    if (!ok && pop3_.isOpen() && !pop3_.tlsFailed()) {
        pop3_.send("");
        ok = pop3_.WaitFor(completeLine, settings_.TimeOut) && popOk(pop3_.RecBuf());
        pop3_.clear();
    }
    return ok;
}

void POPMail::readCapabilities() {
    capabilities_.clear();
    // A server without CAPA answers "-ERR": it then offers nothing more.
    if (multiLineCommand("CAPA", MailConnection::kLineLimit, settings_.TimeOut))
        capabilities_ = replies::capabilities(pop3_.RecBuf());
    pop3_.clear();
}

POPMail::LoginResult POPMail::openAndLogin(int acc) {
    const AccountRec& a = tables_.Acc[acc];
    greeted_ = false;
    capabilities_.clear();
    pop3_.setLabel(QStringLiteral("POP3"));
    pop3_.clear();
    const ServerAddress address = parseServerAddress(a.Host, MailProtocol::Pop3);
    if (!address.valid)
        return LoginResult::ConnectionError;
    pop3_.open(address);
    if (!greet("+OK"))
        return LoginResult::ConnectionError;
    greeted_ = true;
    readCapabilities();
    if (!pop3_.isEncrypted() && capabilities_.contains("STLS") && command("STLS")) {
        if (!pop3_.startTls())
            return LoginResult::ConnectionError;
        // What the server offered before TLS no longer counts.
        readCapabilities();
    }
    if (!command("USER " + a.Account.toUtf8()))
        return LoginResult::UserError;
    pop3_.clear();
    if (!command("PASS " + a.Password.toUtf8(), "PASS ********"))
        return pop3_.RecBuf().toLower().contains("lock") ? LoginResult::Locked
                                                         : LoginResult::PasswordError;
    return LoginResult::Ok;
}

qint16 POPMail::ChkPOP(int acc) {
    if (!validAccount(acc))
        return -1;
    if (refusedAsBusy(acc))
        return 0;
    MailStateRec& st = tables_.MailState[acc];
    BusyScope busy(st);
    const auto fail = [&](qint16 code, const char* text) {
        ClosePOP();
        st.Status = QString::fromLatin1(text);
        return code;
    };
    switch (openAndLogin(acc)) {
    case LoginResult::ConnectionError:
        return fail(-1, "Connection Error");
    case LoginResult::UserError:
        return fail(-2, "Account Unknown Error");
    case LoginResult::PasswordError:
    case LoginResult::Locked:
        return fail(-3, "Password Error");
    case LoginResult::Ok:
        break;
    }
    const auto count = command("STAT") ? replies::statCount(pop3_.RecBuf()) : std::nullopt;
    if (!count)
        return fail(-4, "POP3 Stat Error");
    st.MsgCount = *count;
    st.Status.clear();
    ClosePOP();
    return *count;
}

bool POPMail::POPList(int acc) {
    if (!validAccount(acc))
        return false;
    MailStateRec& st = tables_.MailState[acc];
    if (multiLineCommand("LIST", MailConnection::kListLimit, settings_.TimeOut)) {
        replies::walkList(pop3_.RecBuf(), [&](qint64 number, qint64 size) {
            if (number >= 1 && number <= kMessagePositions)
                st.Size.set(number - 1, qint32(std::min<qint64>(size, INT32_MAX)));
        });
        pop3_.clear();
        return true;
    }
    ClosePOP();
    st.Status = QStringLiteral("POP3 LIST Error");
    return false;
}

qint16 POPMail::PopStat(int acc) {
    const auto count = command("STAT") ? replies::statCount(pop3_.RecBuf()) : std::nullopt;
    if (count)
        return *count;
    ClosePOP();
    tables_.MailState[acc].Status = QStringLiteral("POP3 Stat Error");
    return -1;
}

bool POPMail::PopTop(int number) {
    pop3_.clear();
    if (pop3_.isOpen()) {
        pop3_.setLimit(MailConnection::kListLimit);
        pop3_.send("TOP " + QByteArray::number(number) + " 1");
        if (pop3_.WaitFor([](const QByteArray& buf) { return popReplyEnd(buf, true) >= 0; },
                          settings_.TimeOut))
            return true;
    }
    ClosePOP();
    return false;
}

bool POPMail::GetHeaders(int acc, int n) {
    MailStateRec& st = tables_.MailState[acc];
    n = std::clamp<int>(n, 0, int(kMessagePositions));
    const int window = capabilities_.contains("PIPELINING") ? kPipelineWindow : 1;
    const auto fail = [&] {
        ClosePOP();
        st.Status = QStringLiteral("POP3 TOP Error");
        return false;
    };
    pop3_.clear();
    pop3_.setLimit(MailConnection::kListLimit);
    int sent = 0;
    for (int done = 0; done < n; ++done) {
        // The replies come back in the order the commands went out.
        while (sent < n && sent - done < window) {
            if (!pop3_.isOpen())
                return fail();
            ++sent;
            pop3_.send("TOP " + QByteArray::number(sent) + " 1");
        }
        qsizetype end = -1;
        pop3_.WaitFor(
            [&end](const QByteArray& buf) {
                end = popReplyEnd(buf, true);
                return end >= 0;
            },
            settings_.TimeOut);
        if (end < 0 || !popOk(pop3_.RecBuf()))
            return fail();
        const replies::HeaderValues h =
            replies::extractHeaders(QByteArrayView(pop3_.RecBuf()).first(end));
        st.Subject.set(done, h.Subject);
        st.Date.set(done, h.Date);
        st.MsgID.set(done, h.MsgID);
        st.From.set(done, h.From);
        pop3_.RecBuf().remove(0, end);
        progress_.SetProgress(int((done + 1) * qint64(100) / n));
    }
    const qsizetype unlisted = std::min<qsizetype>(st.MsgCount, kIdPositions);
    for (qsizetype p = n; p < unlisted; ++p)
        st.MsgID.set(p, kNoId);
    return true;
}

bool POPMail::getPOP(int acc, qint16 /*limit: the setting applies*/, bool closeAfter) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& st = tables_.MailState[acc];
    BusyScope busy(st);
    const auto fail = [&](const char* text) {
        ClosePOP();
        st.Status = QString::fromLatin1(text);
        return false;
    };
    switch (openAndLogin(acc)) {
    case LoginResult::ConnectionError:
        return fail("Connection Error");
    case LoginResult::UserError:
        return fail("Account unknown Error");
    case LoginResult::PasswordError:
        return fail("Password Error");
    case LoginResult::Locked:
        return fail("Mailbox locked");
    case LoginResult::Ok:
        break;
    }
    // A failed LIST leaves the connection closed, so STAT fails next.
    POPList(acc);
    const qint16 count = PopStat(acc);
    if (count < 0) {
        ClosePOP();
        return false;
    }
    st.MsgCount = count;
    pop3_.clear();
    int n = count;
    if (settings_.MaxToGet >= 0)
        n = std::min<int>(n, settings_.MaxToGet);
    const bool ok = GetHeaders(acc, n);
    pop3_.clear();
    if (closeAfter)
        ClosePOP();
    if (ok)
        st.Status.clear();
    return ok;
}

bool POPMail::relistAndFind(int acc, const QString& id, qint16& position) {
    MailStateRec& st = tables_.MailState[acc];
    const qint16 count = PopStat(acc);
    if (count < 0 || !GetHeaders(acc, count))
        return false;
    const int found = positionOf(st, count, id);
    if (found < 0) {
        ClosePOP();
        st.Status = QStringLiteral("Missing message");
        return false;
    }
    position = qint16(found);
    return true;
}

QString POPMail::getPOPBody(int acc, qint16& position, const QString& id, bool closeAfter) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return {};
    MailStateRec& st = tables_.MailState[acc];
    BusyScope busy(st);
    const auto fail = [&](const char* text) {
        ClosePOP();
        st.Status = QString::fromLatin1(text);
        return QString();
    };
    switch (openAndLogin(acc)) {
    case LoginResult::ConnectionError:
        return fail("Connection Error");
    case LoginResult::UserError:
        return fail("Account unknown Error");
    case LoginResult::PasswordError:
    case LoginResult::Locked:
        return fail("Password Error");
    case LoginResult::Ok:
        break;
    }
    pop3_.clear();
    // A message without a known identifier is taken by its position alone.
    const bool tracked = !id.isEmpty() && !isNoId(id);
    if (tracked && (position < 0 || st.MsgID.at(position) != id)) {
        const int found = positionOf(st, st.MsgCount, id);
        if (found < 0)
            return fail("Missing message");
        position = qint16(found);
    }
    if (position < 0)
        return fail("Missing message");
    if (!PopTop(position + 1))
        return fail("POP3 TOP Error");
    const bool there = popOk(pop3_.RecBuf());
    const QString readId = there ? replies::extractHeaders(pop3_.RecBuf()).MsgID : QString();
    pop3_.clear();
    // The mailbox changed since the listing (another program deleted or
    // added messages): list again and find the message where it is now.
    if (tracked ? (!there || readId != id) : !there) {
        if (!tracked)
            return fail("Missing message");
        if (!relistAndFind(acc, id, position))
            return {};
    }
    if (!multiLineCommand("RETR " + QByteArray::number(position + 1), MailConnection::kMessageLimit,
                          kRetrSeconds))
        return fail("POP3 Retr Error");
    const QByteArray& reply = pop3_.RecBuf();
    const qsizetype from = reply.indexOf("\r\nFrom:");
    const QByteArray text = unstuffed(QByteArrayView(reply).sliced(from < 0 ? 0 : from + 2));
    QString result = QString::fromLatin1(text);
    pop3_.clear();
    if (closeAfter)
        ClosePOP();
    st.Status.clear();
    return result;
}

bool POPMail::DelPOP(int acc, const QStringList& items) {
    if (!validAccount(acc) || refusedAsBusy(acc))
        return false;
    MailStateRec& st = tables_.MailState[acc];
    st.Status.clear();
    // Fresh lists, and the connection stays open for the deletions.
    if (!getPOP(acc, -1, false)) {
        st.Status = QStringLiteral("Connect Error");
        ClosePOP();
        return false;
    }
    bool result = false;
    QList<int> deleted;
    {
        BusyScope busy(st);
        for (const QString& item : items) {
            const qsizetype comma = item.indexOf(QLatin1Char(','));
            const QString id = comma < 0 ? item : item.left(comma);
            int position = comma < 0 ? 0 : item.mid(comma + 1).trimmed().toInt();
            if (position >= st.MsgCount)
                position = st.MsgCount - 1;
            if (position < 0 || st.MsgID.at(position) != id)
                position = positionOf(st, st.MsgCount, id);
            if (position < 0) {
                result = false;
                break;
            }
            // Numbers stay those of this connection: POP3 renumbers nothing
            // until QUIT.
            result = command("DELE " + QByteArray::number(position + 1));
            pop3_.clear();
            if (!result) {
                ClosePOP();
                st.Status = QStringLiteral("POP DELE Error");
                break;
            }
            deleted << position;
        }
        // QUIT makes the server carry out the deletions, also those before a failure.
        ClosePOP();
        RemoveDeletedEntries(st, deleted);
    }
    const QString why = st.Status;
    ChkPOP(acc); // the server's count after the deletions
    if (!result)
        st.Status = why;
    return result;
}

void POPMail::ClosePOP() {
    pop3_.clear();
    if (greeted_ && pop3_.isOpen()) {
        pop3_.setLimit(MailConnection::kLineLimit);
        pop3_.send("QUIT");
        pop3_.WaitFor(completeLine, settings_.TimeOut);
    }
    greeted_ = false;
    pop3_.close();
}

} // namespace gabblet
