#include "OutgoingMessage.h"

#include "backends/GMimeSupport.h"

#include <QRegularExpression>

namespace gabblet {
namespace {

using gmime::GChars;
using gmime::GPtr;

// The address part of "Name <a@b>" or "a@b", for the Message-ID domain.
QByteArray domainOf(const QString& address) {
    QString a = address;
    const qsizetype open = a.indexOf(QLatin1Char('<'));
    if (open >= 0)
        a = a.mid(open + 1).section(QLatin1Char('>'), 0, 0);
    const QString domain = a.section(QLatin1Char('@'), 1).trimmed();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9.-]+$"));
    return plain.match(domain).hasMatch() ? domain.toLatin1() : QByteArray("gabblet.invalid");
}

void addAddresses(GMimeMessage* message, GMimeAddressType type, const QString& text) {
    if (text.trimmed().isEmpty())
        return;
    const QByteArray utf8 = text.toUtf8();
    InternetAddressList* into = g_mime_message_get_addresses(message, type);
    GPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, utf8.constData()));
    if (parsed && internet_address_list_length(parsed.get()) > 0) {
        internet_address_list_append(into, parsed.get());
        return;
    }
    // Not an address the parser knows: kept as the user typed it.
    GPtr<InternetAddress> raw(internet_address_mailbox_new(nullptr, utf8.constData()));
    internet_address_list_add(into, raw.get());
}

bool plainAsciiInShortLines(const QByteArray& text) {
    qsizetype line = 0;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0')
            return false;
        line = c == '\n' ? 0 : line + 1;
        if (line > 998)
            return false;
    }
    return true;
}

GMimeObject* textPart(const QString& body) {
    // LF alone inside; the writer puts CR LF back at every line end.
    QByteArray utf8 = body.toUtf8();
    utf8.replace("\r\n", "\n");
    utf8.replace('\r', '\n');
    GMimeTextPart* part = g_mime_text_part_new_with_subtype("plain");
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(utf8.constData(), utf8.size()));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part), content.get());
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", "UTF-8");
    g_mime_part_set_content_encoding(
        GMIME_PART(part), plainAsciiInShortLines(utf8) ? GMIME_CONTENT_ENCODING_7BIT
                                                       : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return GMIME_OBJECT(part);
}

} // namespace

QByteArray BuildMessage(const OutgoingMail& mail) {
    gmime::ensureInit();
    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    addAddresses(message.get(), GMIME_ADDRESS_TYPE_FROM, mail.from);
    addAddresses(message.get(), GMIME_ADDRESS_TYPE_TO, mail.to);
    for (const QString& cc : mail.cc)
        addAddresses(message.get(), GMIME_ADDRESS_TYPE_CC, cc);
    g_mime_message_set_subject(message.get(), mail.subject.toUtf8().constData(), "utf-8");

    const QDateTime when = mail.date.isValid() ? mail.date : QDateTime::currentDateTime();
    std::unique_ptr<GTimeZone, decltype(&g_time_zone_unref)> zone(
        g_time_zone_new_offset(when.offsetFromUtc()), &g_time_zone_unref);
    std::unique_ptr<GDateTime, decltype(&g_date_time_unref)> date(
        g_date_time_new_from_unix_utc(when.toSecsSinceEpoch()), &g_date_time_unref);
    std::unique_ptr<GDateTime, decltype(&g_date_time_unref)> local(
        g_date_time_to_timezone(date.get(), zone.get()), &g_date_time_unref);
    g_mime_message_set_date(message.get(), local.get());

    GChars id(g_mime_utils_generate_message_id(domainOf(mail.from).constData()));
    g_mime_message_set_message_id(message.get(), id.get());

    GPtr<GMimeObject> body(textPart(mail.body));
    g_mime_message_set_mime_part(message.get(), body.get());

    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    GChars text(g_mime_object_to_string(GMIME_OBJECT(message.get()), options));
    g_mime_format_options_free(options);
    return QByteArray(text.get());
}

QByteArray DotStuffed(const QByteArray& message) {
    QByteArray out;
    out.reserve(message.size() + message.size() / 64 + 8);
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf("\r\n", start);
        end = end < 0 ? message.size() : end + 2;
        if (message.at(start) == '.')
            out += '.';
        out += QByteArrayView(message).sliced(start, end - start);
        start = end;
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    out += ".\r\n";
    return out;
}

} // namespace gabblet
