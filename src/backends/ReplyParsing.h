#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

// Reading what POP3 and SMTP servers answer. Everything here takes the bytes
// as they came and trusts nothing in them: no length, count or number read
// from a reply is used to index anything without a bound check by the caller.
namespace gabblet::replies {

// The longest header value kept in the message lists.
constexpr qsizetype kHeaderCut = 80;

// A POP3 status line: "+OK" (any letter case) at its start.
bool popOk(QByteArrayView reply);
// Where a POP3 reply ends in buf (the index just past it), or -1 while it
// is incomplete: a "-ERR" reply ends with its first line, a "+OK" reply of a
// multi-line command (LIST, TOP, RETR, CAPA) with CR LF "." CR LF.
qsizetype popReplyEnd(QByteArrayView buf, bool multiLine);
// The message count of a STAT reply ("+OK 5 1234" gives 5); nothing when the
// reply is negative or carries no count. Counts above 32767 are held there,
// the most the mail-state table can count.
std::optional<qint16> statCount(QByteArrayView reply);
// Walks a LIST reply: every "number size" line after the status line, up
// to the line ".", is handed on; lines that are not two numbers are skipped.
void walkList(QByteArrayView reply, const std::function<void(qint64 number, qint64 size)>& each);
// The capabilities of a CAPA reply, upper case, first word of each line.
QSet<QByteArray> capabilities(QByteArrayView reply);

// The four header values of a TOP reply that the message lists keep, each
// cut to its first 80 characters; an absent header gives "". Only headers
// at the start of a line of the header section count; a folded header keeps
// its first line. Subject and From and Date are matched in that letter case,
// the identifier header in any.
struct HeaderValues {
    QString Subject; // without the blank after the colon
    QString Date;    // from right after the colon
    QString MsgID;   // from right after the colon
    QString From;    // from right after the colon, cut before any "<"
};
HeaderValues extractHeaders(QByteArrayView reply);
// Header bytes as text: UTF-8 when they are valid UTF-8, else Windows-1252.
QString headerText(QByteArrayView bytes);

// Where an SMTP reply ends in buf (just past its last line, the one whose
// code is followed by a blank or nothing), or -1 while it is incomplete.
qsizetype smtpReplyEnd(QByteArrayView buf);
// The code of a complete SMTP reply (that of its last line), or 0.
int smtpCode(QByteArrayView reply);
// What an EHLO reply offers that the sender uses.
struct EhloFeatures {
    bool startTls = false;
    bool authPlain = false;
};
EhloFeatures ehloFeatures(QByteArrayView reply);

} // namespace gabblet::replies
