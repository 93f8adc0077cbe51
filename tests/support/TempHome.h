#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace gabblet::test {

// A fresh program folder for one test.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

} // namespace gabblet::test
