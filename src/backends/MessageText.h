#pragma once

#include <QString>

namespace gabblet {

// A fetched message as a person reads it: the From, To, Cc, Date and Subject
// headers with their encoded words undone, an empty line, and the text of
// its first plain-text part (else its first HTML part, else its first text
// part) in its own character set, with the transfer encoding undone and CR LF
// line breaks. `raw` holds the message's bytes one character each (as the
// POP3 client gives them), the final "." line of the transfer allowed. A
// text that is not a message at all comes back as it was.
// Mail that is only HTML reads as the text of its page.
QString ReadableMessage(const QString& raw);
// The same for a message's bytes as they are stored (a Maildir file); bytes
// that are not a message come back as UTF-8 text with CR LF line breaks.
QString ReadableMessage(const QByteArray& message);

} // namespace gabblet
