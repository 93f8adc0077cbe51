// An outbox item file is anything at all (edited by hand, cut short, not
// text). Reading it never fails loudly; what is read comes back the same
// through the writer; and the header lines stay one line each, so that an
// item never turns into another item with different recipients.
#include "compose/OutboxItem.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto item = parseOutboxItem(bytes);
    if (!item)
        return 0;
    const auto again = parseOutboxItem(formatOutboxItem(*item));
    if (!again || again->body != crLfLines(item->body))
        std::abort();
    for (const QString* line : {&again->date, &again->to, &again->cc, &again->subject})
        if (line->contains(QLatin1Char('\n')) || line->contains(QLatin1Char('\r')))
            std::abort();
    // From then on an item stays exactly what it is.
    const QByteArray written = formatOutboxItem(*again);
    const auto third = parseOutboxItem(written);
    if (!third || third->date != again->date || third->to != again->to || third->cc != again->cc ||
        third->subject != again->subject || third->body != again->body)
        std::abort();
    if (formatOutboxItem(*third) != written)
        std::abort();
    return 0;
}
