#include "backends/MessageText.h"

#include <gtest/gtest.h>

using namespace gabblet;

namespace {
// What getPOPBody hands over: bytes one character each, the final "." kept.
QString fetched(const QByteArray& message) {
    return QString::fromLatin1(message + ".\r\n");
}
} // namespace

TEST(ReadableMessage, EncodingsAreUndoneAndTheHeadersDecoded) {
    const QString quoted =
        ReadableMessage(fetched("From: =?utf-8?q?Ren=C3=A9e?= <renee@example.org>\r\n"
                                "To: ann@example.org\r\n"
                                "Subject: =?iso-8859-1?q?Caf=E9?= Gabblet: hi\r\n"
                                "Date: Mon, 12 Jan 2026 10:00:00 +0000\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: text/plain; charset=iso-8859-1\r\n"
                                "Content-Transfer-Encoding: quoted-printable\r\n"
                                "\r\n"
                                "Gabblet:\r\n"
                                "Caf=E9 au lait, a long line that was cut =\r\n"
                                "in two\r\n"
                                ":Gabblet\r\n"));
    EXPECT_EQ(quoted, QStringLiteral("From: Ren\u00e9e <renee@example.org>\r\n"
                                     "To: ann@example.org\r\n"
                                     "Date: Mon, 12 Jan 2026 10:00:00 +0000\r\n"
                                     "Subject: Caf\u00e9 Gabblet: hi\r\n"
                                     "\r\n"
                                     "Gabblet:\r\n"
                                     "Caf\u00e9 au lait, a long line that was cut in two\r\n"
                                     ":Gabblet\r\n"));

    // The plain part of an alternative, base64 in UTF-8; the attachment is left out.
    const QString multi =
        ReadableMessage(fetched("From: bob@example.org\r\n"
                                "Subject: parts\r\n"
                                "MIME-Version: 1.0\r\n"
                                "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
                                "\r\n"
                                "--outer\r\n"
                                "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
                                "\r\n"
                                "--inner\r\n"
                                "Content-Type: text/html; charset=utf-8\r\n"
                                "\r\n"
                                "<p>html</p>\r\n"
                                "--inner\r\n"
                                "Content-Type: text/plain; charset=utf-8\r\n"
                                "Content-Transfer-Encoding: base64\r\n"
                                "\r\n"
                                "w6lsw6h2ZQ==\r\n"
                                "--inner--\r\n"
                                "--outer\r\n"
                                "Content-Type: text/plain\r\n"
                                "Content-Disposition: attachment; filename=a.txt\r\n"
                                "\r\n"
                                "attached\r\n"
                                "--outer--\r\n"));
    EXPECT_TRUE(multi.endsWith(QStringLiteral("\r\n\r\n\u00e9l\u00e8ve"))) << multi.toStdString();
    EXPECT_FALSE(multi.contains("attached"));
    EXPECT_FALSE(multi.contains("html"));
}

TEST(ReadableMessage, PlainOldMailAndNonsenseSurvive) {
    const QString plain =
        ReadableMessage(fetched("From: a@b\r\nSubject: old\r\n\r\nline 1\r\nline 2\r\n"));
    EXPECT_EQ(plain, QStringLiteral("From: a@b\r\nSubject: old\r\n\r\nline 1\r\nline 2\r\n"));
    // Bytes that are no message still give a text, and nothing crashes.
    EXPECT_FALSE(ReadableMessage(QString::fromLatin1("\xff\xfe\x00\x01garbage", 11)).isNull());
    EXPECT_NO_FATAL_FAILURE(ReadableMessage(QString()));
}
