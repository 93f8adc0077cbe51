// Server replies as any server might send them: the STAT count, the LIST
// walk into the bounded size list, header extraction, reply ends, SMTP codes
// and EHLO keywords, and dot-stuffing of outgoing text. No crash, no read or
// write outside the lists, values cut as promised.
#include "backends/OutgoingMessage.h"
#include "backends/ReplyParsing.h"
#include "state/MailTables.h"

#include <cstdint>
#include <cstdlib>

using namespace gabblet;
using namespace gabblet::replies;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    if (auto count = statCount(bytes); count && *count < 0)
        std::abort();

    MailStateRec st;
    walkList(bytes, [&](qint64 number, qint64 length) {
        if (number >= 1 && number <= kMessagePositions)
            st.Size.set(number - 1, qint32(std::min<qint64>(length, INT32_MAX)));
    });

    const HeaderValues h = extractHeaders(bytes);
    if (h.Subject.size() > kHeaderCut || h.Date.size() > kHeaderCut ||
        h.MsgID.size() > kHeaderCut || h.From.size() > kHeaderCut)
        std::abort();
    if (h.From.contains(QLatin1Char('<')))
        std::abort();

    for (bool multi : {false, true}) {
        const qsizetype end = popReplyEnd(bytes, multi);
        if (end > bytes.size() || end < -1)
            std::abort();
    }
    const qsizetype smtpEnd = smtpReplyEnd(bytes);
    if (smtpEnd > bytes.size() || smtpEnd < -1)
        std::abort();
    const int code = smtpCode(bytes);
    if (code < 0 || code > 999)
        std::abort();
    (void)ehloFeatures(bytes);
    (void)capabilities(bytes);

    // Only the closing line of a stuffed text may end the DATA section.
    const QByteArray stuffed = DotStuffed(bytes);
    const qsizetype first = stuffed.indexOf("\r\n.\r\n");
    if (!bytes.isEmpty() && first != stuffed.size() - 5)
        std::abort();
    return 0;
}
