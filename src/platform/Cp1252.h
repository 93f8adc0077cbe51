#pragma once

#include <QByteArray>
#include <QString>

// Files, datagrams and mail-server lines carry Windows-1252. Qt's own codecs
// only know it when built with ICU, so the table lives here and behaves the
// same on every machine.
namespace gabblet::cp1252 {

QString decode(const QByteArray& bytes);
QString decode(const char* data, qsizetype size);
// Characters outside the code page become '?', as the Windows conversion does.
QByteArray encode(const QString& text);
// The code page byte for one character, or '?' when it has none.
unsigned char toByte(QChar c);
QChar fromByte(unsigned char b);

} // namespace gabblet::cp1252
