#pragma once

#include <QByteArray>
#include <QList>
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

// Many changes to one settings file written in one rewrite, so that a crash
// leaves the file with all of them or with none. Keys match as above (the
// first line with the key, any letter case), except that remove() takes
// every line of the key: a file edited by hand may hold one twice, and a
// removed key must not come back from its second line. Reads see the
// changes made so far. A file that cannot be read (a folder, a device, too large) takes
// no changes: commit() then fails and leaves it as it was.
class IniBatch final {
public:
    explicit IniBatch(QString file);
    Q_DISABLE_COPY_MOVE(IniBatch)

    QString read(const QString& key, const QString& defaultValue) const;
    void write(const QString& key, const QString& value);
    void remove(const QString& key);
    bool commit();

private:
    qsizetype find(const QString& key) const;

    QString file_;
    QList<QByteArray> lines_; // each with its own line break, as read
    bool readable_ = true;
};

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
