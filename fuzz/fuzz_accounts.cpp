// The account block of a settings file is whatever a user or another
// program left there. Loading it, removing every third account and saving
// must keep the rest whole: the same accounts in the same order, each with
// its own password and identifier file, in slots 0, 1, 2, ...
#include "mail/AccountEditor.h"
#include "platform/ProgramPaths.h"
#include "support/ScriptedPrompt.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {
void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(bytes);
}
QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    static QTemporaryDir dir;
    const ProgramPaths paths(dir.path());
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
        const AccountRec& a = tables.Acc[size_t(i)];
        const AccountRec& b = kept[i];
        if (a.Type != b.Type || a.Name != b.Name || a.Account != b.Account ||
            a.Password != b.Password || a.Host != b.Host || a.ChkFrq != b.ChkFrq ||
            a.Active != b.Active || a.StorePassword != b.StorePassword || a.Reverse != b.Reverse)
            std::abort();
        if (get(idsFile(paths, i)) != QByteArray::number(keptFrom[i]))
            std::abort();
    }
    for (int slot = int(kept.size()); slot < kAccountSlots; ++slot)
        if (QFile::exists(idsFile(paths, slot)))
            std::abort();
    return 0;
}
