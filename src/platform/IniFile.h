#pragma once

#include <QString>

#include <optional>

// The flat key=value settings file. Every access opens, scans and closes the
// file; every change rewrites it whole through a temporary named like the
// file with its last character replaced by '!', renamed over it.
namespace gabblet {

QString ReadIniKey(const QString& file, const QString& key, const QString& defaultValue);
// Replaces the first line whose key matches, or appends one. Returns false
// (and leaves the file as it was) when the file cannot be rewritten.
bool WriteIniKey(const QString& file, const QString& key, const QString& value);
bool DeleteIniKey(const QString& file, const QString& key);
bool IniFlag(double number);

QString iniTempName(const QString& file);

// The leading decimal number of a text: blanks skipped, an optional sign,
// digits with an optional fraction. Anything else, or nothing, gives 0.
double leadingNumber(const QString& text);
// Rounds half to even and checks the width; nothing when out of range.
std::optional<qint16> toInt16(double value);
std::optional<qint32> toInt32(double value);
// The settings' own bool: any non-zero number, or the word True.
bool iniBool(const QString& text);
// Decimal text of a non-negative number with the leading blank the program
// has always written ("noaction= 1"); readers trim it.
QString numberText(qint64 value);

} // namespace gabblet
