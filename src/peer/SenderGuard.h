#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace gabblet {

class AliasTable;
class BlockList;
struct Settings;

// Whom messages are taken from ("AcceptFrom"): everyone, the addresses of
// the alias list (groups included), or nobody.
enum class AcceptFrom { All, Aliases, None };
// The setting's text in any letter case; anything else is the default, All.
AcceptFrom acceptFrom(const QString& setting);

// The sender's name as the received history shows it: its alias name, else
// its address.
QString senderName(const AliasTable& aliases, const QString& address);

// Decides, as each message arrives, whether it may wait its turn to be
// spoken: blocked addresses and senders the AcceptFrom setting leaves out
// are refused, and with MaxPerMinute set a sender gets at most that many
// messages a minute and kMaxQueuedPerSender waiting. It also writes the
// lines the Acks box shows about it: a refusal at once (once a minute per
// sender, so a stranger's flood is one line, not thousands), and how many
// a sender had refused for being too many once its minute is over.
//
// Times are milliseconds of a monotonic clock, handed in by the caller, so
// the minutes can be tested without waiting. What is kept per sender is
// bounded: a flood from forged addresses costs at most kMaxTracked records.
class SenderGuard final {
public:
    static constexpr qsizetype kMaxQueuedPerSender = 20;
    static constexpr qint64 kMinuteMs = 60000;
    static constexpr qsizetype kMaxTracked = 4096;

    enum class Verdict { Accept, Refused, TooMany };

    SenderGuard(const Settings& settings, const AliasTable& aliases, const BlockList* blocked);

    // A message from `address` (as the history shows addresses) arriving at
    // `now`, with `queued` messages of the same sender already waiting.
    Verdict admit(const QString& address, qint64 now, qsizetype queued);
    // The Acks lines written since the last call, and the counts of the
    // minutes that are over by `now`. Each line ends in CR LF.
    QStringList takeLines(qint64 now);
    // When the next count falls due; -1 when none is pending.
    qint64 nextDue() const;
    qsizetype tracked() const { return records_.size(); }

private:
    struct Record {
        QString name;
        qint64 start = 0; // the sender's current minute began here
        int admitted = 0;
        int excess = 0;
        bool refusalShown = false;
    };
    bool allowed(const QString& address) const;
    Record& record(const QString& address, qint64 now);
    void close(const Record& r);
    void closeEnded(qint64 now);
    void makeRoom(qint64 now);

    const Settings& settings_;
    const AliasTable& aliases_;
    const BlockList* blocked_;
    QHash<QString, Record> records_;
    QStringList lines_;
};

} // namespace gabblet
