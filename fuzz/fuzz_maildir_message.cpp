// A Maildir file is whatever a delivery agent or another program put there:
// its headers (encoded words in any character set) and its MIME body
// (quoted-printable, base64, nested parts, HTML) are decoded as a listing and
// the reader do it. Nothing may crash, and the listing's header values stay
// one line each.
#include "backends/Maildir.h"
#include "backends/MessageText.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {
bool oneLine(const QString& s) {
    return !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r'));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const gabblet::MessageHeaders h = gabblet::parseMessageHeaders(bytes);
    if (!oneLine(h.subject) || !oneLine(h.from) || !oneLine(h.date))
        std::abort();
    const QString text = gabblet::ReadableMessage(bytes);
    // Line breaks come out as CR LF only.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r')))
            std::abort();
    }
    (void)gabblet::maildirUniqueName(QString::fromUtf8(bytes.left(64)));
    return 0;
}
