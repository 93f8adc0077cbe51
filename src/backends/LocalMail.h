#pragma once

#include "backends/Maildir.h"
#include "state/MailTables.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

namespace gabblet {

class ProgramPaths;
class ProgressReporter;
class StatusLog;
struct Settings;

// Accounts of type "Outlook": local mail profiles. The profile (the
// account's Account field) is a Maildir; the inbox is its cur/ and new/,
// read and never changed, except that deleting moves a message into the
// Maildir's .Trash folder. Sending hands the message to the system's
// sendmail-compatible program (the SendmailCommand setting) and keeps a
// copy in the profile's .Sent folder.
//
// The back-end contract of the other services holds: one operation at a
// time in the whole program ("busy" otherwise), Busy set while working,
// the reason of a failure in the account's Status. A profile is opened at
// its first use and kept (LoggedOn) until OutlookRelease; only the account
// slots 0 to 20 have a place for one.
class LocalMail final {
public:
    static constexpr int kProfileSlots = 21;

    LocalMail(MailTables& tables, const Settings& settings, StatusLog& log,
              ProgressReporter& progress, const ProgramPaths& paths);
    Q_DISABLE_COPY_MOVE(LocalMail)

    // The number of messages in the inbox (also put in MsgCount); -1 when the
    // profile is not a Maildir ("Profile not found: <path>"); 0 when busy.
    qint16 OutlookCount(int acc);
    // Lists the first `limit` messages (-1: all) into the account's lists.
    // A message whose identifier was listed before keeps its earlier entry;
    // the others are read from their files. False for an empty or
    // unreachable inbox, the lists left as they were.
    bool OutlookList(int acc, qint16 limit);
    // The text of the message with identifier `id`, found at `position` or
    // wherever it is now (position then changes); "" with the reason in
    // Status ("Missing message" when it is gone).
    QString OutlookBody(int acc, qint16& position, const QString& id);
    // Moves the messages given as "identifier,position" items into the
    // Maildir's .Trash/cur (made when missing); the moved entries leave the
    // lists.
    bool OutlookDelete(int acc, const QStringList& items);
    // Sends a message: "" when the sender program took it, else the reason
    // (an address that does not resolve, the program's exit code and first
    // line of error output, ...). To and CC hold addresses separated by ";"
    // or ","; each is a valid address or a name in the profile's
    // addressbook.txt ("Name <address>" lines).
    QString OutlookSend(const QString& to, const QString& cc, const QString& subject,
                        const QString& body, int acc);
    // Closes every open profile (shutdown).
    void OutlookRelease();

    // The sender address of an account: its Address, else the user's login
    // at this host.
    QString senderAddress(int acc) const;

private:
    // Busy for the length of an operation, cleared on every way out.
    class Busy {
    public:
        explicit Busy(MailStateRec& s) : s_(s) { s_.Busy = true; }
        ~Busy() { s_.Busy = false; }
        Q_DISABLE_COPY_MOVE(Busy)

    private:
        MailStateRec& s_;
    };
    struct Profile {
        QString folder;
        bool open = false;
    };

    bool refusedAsBusy(int acc);
    bool inSlotTable(int acc);
    bool logOn(int acc);
    qint16 countLocked(int acc);
    bool listLocked(int acc, qint16 limit);
    bool usable(int acc);
    QString sendLocked(const QString& to, const QString& cc, const QString& subject,
                       const QString& body, int acc);
    QString runSender(const QByteArray& message);
    void keepSentCopy(int acc, const QByteArray& message);

    MailTables& tables_;
    const Settings& settings_;
    StatusLog& log_;
    ProgressReporter& progress_;
    const ProgramPaths& paths_;
    std::array<Profile, kProfileSlots> profiles_;
    QList<MaildirEntry> inbox_; // the latest listing of the profile in use
    QSet<QString> oversizedSeen_;
};

// A recipient text split as Outlook took it: "," counts as ";", every piece
// trimmed, empty pieces dropped.
QStringList splitRecipients(const QString& text);
// A plain address ("a@b.c") or "Name <a@b.c>".
bool isValidAddress(const QString& text);
// The address book of a profile: "Name <address>" lines. `name` resolves to
// its line (letter case ignored), else "".
QString lookUpAddress(const QString& addressBookText, const QString& name);

} // namespace gabblet
