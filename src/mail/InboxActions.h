#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace gabblet {

class AccountCheck;
class CheckView;
class IdentifierTracker;
class InboxModel;
class MailAnnouncer;
class MailBackends;
class MailCaches;
class Prompt;
class TimerPause;
struct MailTables;
struct Settings;

// Reading one message (the viewer windows).
class MessageReader {
public:
    virtual ~MessageReader() = default;
    virtual void ReadEmail(int slot, int position) = 0;
};

// Deleting messages on the server. Each item is the message's identity, a
// comma and its position; false with the reason in the account's Status.
class MessageDeleter {
public:
    virtual ~MessageDeleter() = default;
    virtual bool deleteMessages(int slot, const QStringList& items) = 0;
};

struct InboxServices {
    MailTables& tables;
    const Settings& settings;
    AccountCheck& check;
    MailBackends& backends;
    IdentifierTracker& ids;
    MailCaches& caches;
    InboxModel& model;
    Prompt& prompt;
    MailAnnouncer& announcer;
    CheckView& view;
    MessageReader& reader;
    MessageDeleter& deleter;
    TimerPause& timer;
    std::function<int()> random; // 0..1000
    // The check-now and refresh commands, which wait while the tree works.
    std::function<void(bool)> setCheckCommandsEnabled = [](bool) {};
};

// What the inbox tree does when clicked and with its buttons: fetching
// headers, re-checking an account, reading, downloading bodies, deleting.
class InboxActions final {
public:
    explicit InboxActions(InboxServices services);
    Q_DISABLE_COPY_MOVE(InboxActions)

    // A click on the node with this key ("a", "a17"); shift: Shift was held.
    void nodeClicked(const QString& key, bool shift);
    // True while a message clicked with Shift held is being read (a web-mail
    // page is then fetched again even when cached).
    bool readingWithShift() const { return readingWithShift_; }
    void TreeCheck();
    void TreeGetBody();
    void TreeDel();

    // Lists an account's headers by its type, new messages marked by their
    // identifiers. True when the listing succeeded.
    bool listHeaders(int slot);
    bool busy() const { return busy_; }

private:
    void accountClicked(int slot, bool shift);
    void announceNew(int slot);
    bool downloadAll(int slot);
    bool validSlot(int slot) const;

    InboxServices s_;
    bool busy_ = false;
    bool readingWithShift_ = false;
};

} // namespace gabblet
