#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gabblet::test {

TempHome::TempHome() = default;
TempHome::~TempHome() = default;

void TempHome::write(const QString& name, const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(file(name)).absolutePath());
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TempHome::read(const QString& name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace gabblet::test
