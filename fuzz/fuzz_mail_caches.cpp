// A header cache, an identifier file and a message identifier are anything
// at all (the files may be edited or damaged; identifiers come from
// servers). The readers must stay inside the lists and never claim more
// messages than they read; what they read must come back the same through
// the writers; and a cache file name made from the input never leaves its
// folder.
#include "mail/MailCaches.h"
#include "platform/Cp1252.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {

void checkHeaderCache(const QString& text) {
    MailStateRec first;
    if (parseHeaderCache(text, first) == HdrRead::TooOld)
        return;
    if (first.MsgCount > kMessagePositions || first.MsgCount < -1)
        std::abort();
    const QString written = serializeHeaderCache(first);
    MailStateRec second;
    if (parseHeaderCache(written, second) != HdrRead::Complete)
        std::abort();
    if (serializeHeaderCache(second) != written)
        std::abort();
}

void checkIds(const QString& text) {
    const auto ids = parseIdsFile(text);
    if (ids && ids->ids.size() > kIdPositions)
        std::abort();
}

void checkName(const QString& part) {
    const QString name = cacheName(part);
    if (name.isEmpty() || name.startsWith(u'.') || name.contains(u'/') || name.contains(QChar(0)) ||
        name.toUtf8().size() > 255)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = cp1252::decode(bytes);
    checkHeaderCache(text);
    checkIds(text);
    checkName(QString::fromUtf8(bytes));
    checkName(text);
    return 0;
}
