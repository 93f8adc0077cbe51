#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace gabblet {

// One e-mail as the user wrote it.
struct OutgoingMail {
    QString from;   // the account's address
    QString to;     // as typed: one recipient, or several the server may take
    QStringList cc; // each one address
    QString subject;
    QString body;   // lines separated by CR LF (LF alone is taken too)
    QDateTime date; // when it is sent
};

// The message in standard form (RFC 5322 with MIME): From, To, Cc when
// given, Subject (RFC 2047 encoded when it is not plain ASCII), Date,
// Message-ID, MIME-Version and a text/plain UTF-8 body, 7bit when it is
// plain ASCII in short lines, else quoted-printable, so that any server
// takes it. Lines end in CR LF. Built with GMime.
QByteArray BuildMessage(const OutgoingMail& mail);

// The message as it goes after DATA: every line that starts with "." gets a
// second one (else a line holding only "." would end the message there),
// and the closing "." line follows.
QByteArray DotStuffed(const QByteArray& message);

} // namespace gabblet
