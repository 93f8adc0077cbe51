#include "IdentifierTracker.h"

#include "mail/AccountStore.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "state/MailTableOps.h"

#include <QSet>

#include <algorithm>

namespace gabblet {
namespace {

// An identifier file holds at most 1001 identifiers of a few hundred
// characters; anything far larger is not one of ours.
constexpr qint64 kMaxIdsBytes = 4 * 1024 * 1024;

} // namespace

IdentifierTracker::IdentifierTracker(MailTables& tables, const ProgramPaths& paths)
    : tables_(tables), paths_(paths) {}

void IdentifierTracker::SaveIds(int slot) {
    slot_ = -1;
    oldCount_ = -1;
    old_.clear();
    if (slot < 0 || slot >= kAccountSlots)
        return;
    slot_ = slot;
    MailStateRec& ms = tables_.MailState[size_t(slot)];
    if (ms.MsgCount != -1 && !ms.MsgID.at(0).isEmpty()) {
        // A check counts the inbox before the listing, so MsgCount may already
        // take in messages that arrived since: their positions hold no
        // identifier yet. Kept as "[None]" they would hide every new message
        // at the end of the list, so the old list ends at its last identifier.
        qsizetype n = std::clamp<qsizetype>(ms.MsgCount, 0, kIdPositions);
        while (n > 0 && ms.MsgID.at(n - 1).isEmpty())
            --n;
        for (qsizetype p = 0; p < n; ++p) {
            const QString id = ms.MsgID.at(p);
            old_ << (id.isEmpty() ? kNoId : id);
        }
        oldCount_ = ms.MsgCount;
    } else {
        loadFile(slot);
    }
    ms.IsNew.clear();
}

// Line 1 is the count, then one identifier a line; an empty one means none.
bool IdentifierTracker::loadFile(int slot) {
    const auto bytes = readRegularFile(idsFile(paths_, slot), kMaxIdsBytes);
    if (!bytes)
        return false;
    const QStringList lines = splitLines(cp1252::decode(*bytes));
    if (lines.isEmpty())
        return false;
    const auto count = toInt16(leadingNumber(lines.first()));
    if (!count)
        return false;
    for (qsizetype i = 1; i < lines.size() && old_.size() < kIdPositions; ++i)
        old_ << (lines.at(i).isEmpty() ? kNoId : lines.at(i));
    oldCount_ = *count;
    return true;
}

void IdentifierTracker::CompareIds(int slot) {
    if (slot < 0 || slot >= kAccountSlots)
        return;
    MailStateRec& ms = tables_.MailState[size_t(slot)];
    // A list kept for another account says nothing about this one.
    if (slot != slot_ || oldCount_ == -1) {
        ms.NewCount = 0;
        return;
    }
    // The old list ends at its first "[None]": what follows was never listed.
    QSet<QString> known;
    for (const QString& id : std::as_const(old_)) {
        if (isNoId(id))
            break;
        known.insert(id);
    }
    const qsizetype listed = std::clamp<qsizetype>(ms.MsgCount, 0, kIdPositions);
    qint16 fresh = 0;
    for (qsizetype p = 0; p < listed; ++p) {
        const QString id = ms.MsgID.at(p);
        const bool isNew =
            !isNoId(id) && !(p < old_.size() && isNoId(old_.at(p))) && !known.contains(id);
        ms.IsNew.set(p, isNew);
        fresh += isNew ? 1 : 0;
    }
    ms.NewCount = fresh;
}

} // namespace gabblet
