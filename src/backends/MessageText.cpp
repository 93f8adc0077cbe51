#include "backends/MessageText.h"

#include "backends/GMimeSupport.h"
#include "backends/HtmlText.h"

#include <QByteArray>

#include <optional>

namespace gabblet {

namespace {

using gmime::GChars;
using gmime::GPtr;

// A header value on one line: a folded or broken header keeps no line break.
QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text).simplified() : QString();
}

QString addresses(InternetAddressList* list) {
    if (!list || internet_address_list_length(list) == 0)
        return {};
    GChars text(internet_address_list_to_string(list, nullptr, FALSE));
    return fromUtf8(text.get());
}

bool isAttachment(GMimeObject* part) {
    GMimeContentDisposition* d = g_mime_object_get_content_disposition(part);
    return d && g_mime_content_disposition_is_attachment(d);
}

// The first text part of `subtype` ("" for any) in the tree, depth first,
// leaving attachments and enclosed messages alone.
GMimeTextPart* findText(GMimeObject* object, const char* subtype, int depth = 0) {
    constexpr int kMaxDepth = 32; // nesting beyond this is not a real message
    if (!object || depth > kMaxDepth)
        return nullptr;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multi = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multi);
        for (int i = 0; i < count; ++i)
            if (GMimeTextPart* found =
                    findText(g_mime_multipart_get_part(multi, i), subtype, depth + 1))
                return found;
        return nullptr;
    }
    if (!GMIME_IS_TEXT_PART(object) || isAttachment(object))
        return nullptr;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (*subtype && !g_mime_content_type_is_type(type, "text", subtype))
        return nullptr;
    return GMIME_TEXT_PART(object);
}

QString withCrLf(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

// nullopt when the bytes are not a message at all.
std::optional<QString> readable(const QByteArray& bytes) {
    gmime::ensureInit();
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return std::nullopt;
    GMimeObject* body = g_mime_message_get_mime_part(message.get());
    GMimeTextPart* text = findText(body, "plain");
    const bool html = !text && (text = findText(body, "html")) != nullptr;
    if (!text)
        text = findText(body, "");

    QString out;
    const auto header = [&out](const char* name, const QString& value) {
        if (!value.isEmpty())
            out += QLatin1String(name) + QStringLiteral(": ") + value + QStringLiteral("\r\n");
    };
    header("From", addresses(g_mime_message_get_from(message.get())));
    header("To", addresses(g_mime_message_get_to(message.get())));
    header("Cc", addresses(g_mime_message_get_cc(message.get())));
    header("Date", fromUtf8(g_mime_object_get_header(GMIME_OBJECT(message.get()), "Date")));
    header("Subject", fromUtf8(g_mime_message_get_subject(message.get())));
    out += QStringLiteral("\r\n");
    if (text) {
        GChars content(g_mime_text_part_get_text(text));
        if (content) {
            const QString decoded = QString::fromUtf8(content.get());
            // Mail that is only HTML is read as its page reads, never as tags.
            out += withCrLf(html ? htmlVisibleText(decoded) : decoded);
        }
    }
    return out;
}

} // namespace

QString ReadableMessage(const QString& raw) {
    QByteArray bytes = raw.toLatin1();
    if (bytes.endsWith("\r\n.\r\n"))
        bytes.chop(3);
    return readable(bytes).value_or(raw);
}

QString ReadableMessage(const QByteArray& message) {
    if (std::optional<QString> text = readable(message))
        return *text;
    return withCrLf(QString::fromUtf8(message));
}

} // namespace gabblet
