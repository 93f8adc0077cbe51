#include "SenderGuard.h"

#include "peer/AliasTable.h"
#include "peer/BlockList.h"
#include "platform/Files.h"
#include "state/Settings.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace gabblet {

AcceptFrom acceptFrom(const QString& setting) {
    const QString s = setting.trimmed();
    if (s.compare(QLatin1String("aliases"), Qt::CaseInsensitive) == 0)
        return AcceptFrom::Aliases;
    if (s.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return AcceptFrom::None;
    return AcceptFrom::All;
}

QString senderName(const AliasTable& aliases, const QString& address) {
    const QString who = aliases.LookupAliasName(address);
    return who.isEmpty() ? address : who;
}

SenderGuard::SenderGuard(const Settings& settings, const AliasTable& aliases,
                         const BlockList* blocked)
    : settings_(settings), aliases_(aliases), blocked_(blocked) {}

bool SenderGuard::allowed(const QString& address) const {
    if (blocked_ && blocked_->isBlocked(address))
        return false;
    switch (acceptFrom(settings_.AcceptFrom)) {
    case AcceptFrom::None:
        return false;
    case AcceptFrom::Aliases:
        return aliases_.knows(address);
    case AcceptFrom::All:
        break;
    }
    return true;
}

SenderGuard::Verdict SenderGuard::admit(const QString& address, qint64 now, qsizetype queued) {
    const int limit = settings_.MaxPerMinute;
    if (allowed(address)) {
        // Without a limit nothing is kept about anyone.
        if (limit <= 0)
            return Verdict::Accept;
        Record& r = record(address, now);
        if (queued >= kMaxQueuedPerSender || r.admitted >= limit) {
            ++r.excess;
            return Verdict::TooMany;
        }
        ++r.admitted;
        return Verdict::Accept;
    }
    Record& r = record(address, now);
    if (!r.refusalShown) {
        r.refusalShown = true;
        lines_.append(QStringLiteral("Refused a message from ") + r.name + kCrLf);
    }
    return Verdict::Refused;
}

// The sender's record, in a minute that is still running: one that is over
// is closed (its count written) and a new minute begins now.
SenderGuard::Record& SenderGuard::record(const QString& address, qint64 now) {
    auto it = records_.find(address);
    if (it != records_.end() && now - it->start >= kMinuteMs) {
        close(*it);
        records_.erase(it);
        it = records_.end();
    }
    if (it == records_.end()) {
        if (records_.size() >= kMaxTracked)
            makeRoom(now);
        Record r;
        r.start = now;
        it = records_.insert(address, r);
    }
    // The name is looked up again for each minute: aliases may change.
    if (it->name.isEmpty())
        it->name = senderName(aliases_, address);
    return *it;
}

void SenderGuard::close(const Record& r) {
    if (r.excess > 0)
        lines_.append(
            QStringLiteral("Too many messages from %1: %2 refused").arg(r.name).arg(r.excess) +
            kCrLf);
}

void SenderGuard::closeEnded(qint64 now) {
    for (auto it = records_.begin(); it != records_.end();) {
        if (now - it->start >= kMinuteMs) {
            close(*it);
            it = records_.erase(it);
        } else {
            ++it;
        }
    }
}

// Minutes that are over go first; if every sender is still in its minute
// (thousands of addresses within one minute: forged ones), the eighth whose
// minutes began first are closed early, at once, so that a flood of new
// addresses costs a sort now and then rather than a search per datagram.
void SenderGuard::makeRoom(qint64 now) {
    closeEnded(now);
    if (records_.size() < kMaxTracked)
        return;
    std::vector<std::pair<qint64, QString>> starts;
    starts.reserve(records_.size());
    for (auto it = records_.cbegin(); it != records_.cend(); ++it)
        starts.emplace_back(it->start, it.key());
    const auto cut = starts.begin() + kMaxTracked / 8;
    std::nth_element(starts.begin(), cut, starts.end());
    for (auto it = starts.begin(); it != cut; ++it) {
        const auto record = records_.find(it->second);
        close(*record);
        records_.erase(record);
    }
}

QStringList SenderGuard::takeLines(qint64 now) {
    closeEnded(now);
    return std::exchange(lines_, {});
}

qint64 SenderGuard::nextDue() const {
    qint64 due = -1;
    for (const Record& r : records_) {
        if (r.excess > 0 && (due < 0 || r.start + kMinuteMs < due))
            due = r.start + kMinuteMs;
    }
    return due;
}

} // namespace gabblet
