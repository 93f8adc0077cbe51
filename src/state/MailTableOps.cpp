#include "MailTableOps.h"

#include <algorithm>

namespace gabblet {
namespace {

template <typename T, qsizetype N>
void closeGap(BoundedList<T, N>& list, qsizetype at, qsizetype count, const T& beyond) {
    // What moves in from past the end of a shorter list is not known.
    for (qsizetype p = at; p + 1 < count && p < N; ++p)
        list.set(p, p + 1 < N ? list.at(p + 1) : beyond);
    if (count - 1 < N && count - 1 >= at)
        list.set(count - 1, T{});
}

void removeOne(MailStateRec& s, qsizetype at, qsizetype count) {
    closeGap(s.Subject, at, count, QString());
    closeGap(s.From, at, count, QString());
    closeGap(s.Date, at, count, QString());
    closeGap(s.MsgRef, at, count, QString());
    closeGap(s.Size, at, count, qint32(0));
    closeGap(s.BodyText, at, count, QString());
    closeGap(s.MsgID, at, count, kNoId);
    closeGap(s.MsgID2, at, count, QString());
    closeGap(s.IsNew, at, count, false);
}

} // namespace

bool isNoId(const QString& id) {
    return id.compare(kNoId, Qt::CaseInsensitive) == 0;
}

bool IsAnyBusy(const MailTables& tables) {
    const qsizetype used = std::clamp<qsizetype>(tables.AccCount, 0, kAccountSlots);
    return std::any_of(tables.MailState.begin(), tables.MailState.begin() + used,
                       [](const MailStateRec& s) { return s.Busy; });
}

int FindAccount(const MailTables& tables, const QString& name) {
    const int used = std::clamp<int>(tables.AccCount, 0, int(kAccountSlots));
    for (int i = 0; i < used; ++i)
        if (tables.Acc[i].Name == name)
            return i;
    return -1;
}

void RemoveDeletedEntries(MailStateRec& state, const QList<int>& positions) {
    // Without a known count there are no entries to remove.
    if (state.MsgCount < 0)
        return;
    qsizetype count = std::min<qsizetype>(state.MsgCount, kMessagePositions);
    QList<int> order = positions;
    std::sort(order.begin(), order.end(), std::greater<>());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    qsizetype removed = 0;
    for (int at : order) {
        if (at < 0 || at >= count)
            continue;
        removeOne(state, at, count);
        --count;
        ++removed;
    }
    state.MsgCount = qint16(state.MsgCount - removed);
    const qsizetype marked = std::min<qsizetype>(count, kIdPositions);
    for (qsizetype p = 0; p < marked; ++p) {
        if (!isNoId(state.MsgID.at(p)))
            continue;
        state.From.set(p, QStringLiteral("*See subject*"));
        state.Size.set(p, 0);
        state.Subject.set(p, QStringLiteral("*Need to download headers to refresh*"));
    }
}

} // namespace gabblet
