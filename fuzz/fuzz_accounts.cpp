// The account block of a settings file is whatever a user or another
// program left there. Loading it, removing every third account and saving
// must keep the rest whole: the same accounts in the same order, each with
// its own password and identifier file, in slots 0, 1, 2, ...
#include "mail/AccountEditor.h"
#include "platform/ProgramPaths.h"
#include "support/ScriptedPrompt.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace gabblet;

namespace {
void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(bytes);
}
// A line break inside a value is written as a blank (the file has no escape).
QString flat(QString text) {
    return text.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}
bool same(const AccountRec& a, const AccountRec& b) {
    return flat(a.Type) == flat(b.Type) && flat(a.Name) == flat(b.Name) &&
           flat(a.Account) == flat(b.Account) && a.Password == b.Password &&
           flat(a.Host) == flat(b.Host) && a.ChkFrq == b.ChkFrq && a.Active == b.Active &&
           a.StorePassword == b.StorePassword && a.Reverse == b.Reverse;
}
QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    // In memory where the system has it: every save is flushed to disk.
    static const auto dir =
        QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/gabblet-fuzz-XXXXXX"))
            : std::make_unique<QTemporaryDir>();
    const ProgramPaths paths(dir->path());
    Settings settings;
    settings.SharedFile = settings.UserFile = paths.file(QStringLiteral("gabblet.ini"));
    put(settings.UserFile, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (int slot = 0; slot < kAccountSlots; ++slot)
        QFile::remove(idsFile(paths, slot));

    MailTables tables;
    test::ScriptedPrompt prompt;
    AccountEditor editor(tables, settings, paths, prompt);
    editor.fill();
    for (int i = 0; i < editor.count(); ++i)
        put(idsFile(paths, i), QByteArray::number(i));
    QList<AccountRec> kept;
    QList<int> keptFrom;
    for (int i = 0; i < editor.count(); ++i) {
        editor.tab(i).removed = i % 3 == 1;
        if (!editor.tab(i).removed) {
            kept << tables.Acc[size_t(i)];
            keptFrom << i;
        }
    }
    if (!editor.save())
        std::abort();
    if (tables.AccCount != kept.size())
        std::abort();
    for (int i = 0; i < kept.size(); ++i) {
        if (!same(tables.Acc[size_t(i)], kept[i]))
            std::abort();
        if (get(idsFile(paths, i)) != QByteArray::number(keptFrom[i]))
            std::abort();
    }
    for (int slot = int(kept.size()); slot < kAccountSlots; ++slot)
        if (QFile::exists(idsFile(paths, slot)))
            std::abort();
    return 0;
}
