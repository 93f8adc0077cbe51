#include "SettingsStore.h"

#include "app/AppState.h"
#include "mail/AccountStore.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/Version.h"

namespace gabblet {
namespace {

constexpr int kMaxRecentAddresses = 1000;

// Reads the keys in order; the first one whose number does not fit throws
// the load out at that point, which is what the caller relies on.
class KeyReader {
public:
    explicit KeyReader(const QString& file) : file_(file) {}

    QString text(const char* key, const char* def) const {
        return ReadIniKey(file_, QLatin1String(key), QLatin1String(def));
    }
    bool flag(const char* key, const char* def) const {
        return IniFlag(leadingNumber(text(key, def)));
    }
    bool boolean(const char* key, const char* def) const { return iniBool(text(key, def)); }
    bool int16(const char* key, const char* def, qint16& out) {
        auto v = toInt16(leadingNumber(text(key, def)));
        return v ? (out = *v, true) : fail(key);
    }
    bool int32(const char* key, const char* def, qint32& out) {
        auto v = toInt32(leadingNumber(text(key, def)));
        return v ? (out = *v, true) : fail(key);
    }
    QString failedKey() const { return failed_; }
    bool fail(const char* key) {
        failed_ = QLatin1String(key);
        return false;
    }

private:
    QString file_;
    QString failed_;
};

bool readUserKeys(Settings& s, KeyReader& user, const KeyReader& shared,
                  const ProgramPaths& paths) {
    s.MyName = user.text("MyName", "");
    if (s.MyName.isEmpty())
        s.MyName = loginName();
    qint16 box = 0;
    if (!user.int16("NoAction", "0", box))
        return false;
    s.NoAction = box != 0;
    if (!user.int16("Quiet", "0", box))
        return false;
    s.Quiet = box != 0;
    s.CheckEmail = user.flag("CheckEmail", "1");
    s.SpeakSubject = user.flag("SpeakSubject", "1");
    s.ProcTalk = user.flag("ProcTalk", "1");
    s.HideAfterEmail = user.flag("HideAfterEmail", "1");
    // Relative folders are below the program folder, wherever the program started.
    s.CharPath = paths.resolve(shared.text("CharPath", ""));
    s.OfficePath = paths.resolve(shared.text("OfficePath", ""));
    s.DefaultChar = user.text("DefaultChar", "");
    s.TheReadChar = user.text("TheReadChar", "");
    s.ParagraphPause = user.flag("ParagraphPause", "1");
    s.UseAssistant = user.flag("UseAssistant", "0");
    s.UseAgent = user.flag("UseAgent", "1");
    s.CheckStartup = user.flag("CheckStartup", "0");
    s.EmailSeperateWindows = user.flag("EmailSeperateWindows", "0");
    s.EmailAnnWave = user.flag("EmailAnnWave", "0");
    s.WaveFilename = user.text("WaveFilename", "");
    if (!user.int32("TimeOut", "30", s.TimeOut) || !user.int32("TimeOutWeb", "90", s.TimeOutWeb) ||
        !user.int16("MaxToGet", "20", s.MaxToGet))
        return false;
    s.LastSendAccount = user.text("LastSendAccount", "");
    s.CacheAcc = user.boolean("CacheAcc", "0");
    s.CacheEmail = user.boolean("CacheEmail", "0");
    s.Debug = user.text("Debug", "0") == QLatin1String("1");
    qint16 port = 0;
    if (!user.int16("Port", "12345", port))
        return false;
    // The reply port is Port + 1, so both must fit a 16-bit signed number.
    if (port < 0 || port > 32766)
        return user.fail("Port");
    s.Port = port;
    s.BindAddress = user.text("BindAddress", "");
    // Updates are set up for the whole installation, like the character folders.
    s.UpdateCommand = shared.text("UpdateCommand", "");
    s.CAFile = paths.resolve(shared.text("CAFile", ""));
    return true;
}

} // namespace

void SetSettingsFiles(Settings& settings, const ProgramPaths& paths) {
    settings.SharedFile = paths.file(QStringLiteral("gabblet.ini"));
    settings.UserFile = paths.userFile(QStringLiteral("gabblet.ini"));
}

QString LoadSettings(AppState& state) {
    Settings& s = state.settings;
    if (ReadIniKey(s.SharedFile, QStringLiteral("Version"), QString()).isEmpty())
        MigrateOldSettings(s.SharedFile);
    s.Version = ReadIniKey(s.SharedFile, QStringLiteral("Version"), QString());

    KeyReader user(s.UserFile);
    const KeyReader shared(s.SharedFile);
    if (!readUserKeys(s, user, shared, state.paths))
        return QStringLiteral("the value of %1 is out of range").arg(user.failedKey());

    LoadAccounts(state.mail, s);
    PrepareAccounts(state.mail, s, state.paths);

    for (int i = 0; i < kMaxRecentAddresses; ++i) {
        const QString address =
            ReadIniKey(s.UserFile, QStringLiteral("To") + QString::number(i), QString());
        if (address.isEmpty())
            break;
        s.addRecentAddress(address);
    }
    return {};
}

bool SaveSettings(AppState& state, qint32 formTop, qint32 formLeft, int tab) {
    Settings& s = state.settings;
    const QString& f = s.UserFile;
    bool ok = WriteIniKey(f, QStringLiteral("NoAction"), numberText(s.NoAction ? 1 : 0));
    ok &= WriteIniKey(f, QStringLiteral("Quiet"), numberText(s.Quiet ? 1 : 0));
    ok &= WriteIniKey(f, QStringLiteral("FormTop"), QString::number(formTop));
    ok &= WriteIniKey(f, QStringLiteral("FormLeft"), QString::number(formLeft));
    ok &= WriteIniKey(s.SharedFile, QStringLiteral("Version"), kVersionText);
    ok &= WriteIniKey(f, QStringLiteral("LastSendAccount"), s.LastSendAccount);
    ok &= WriteIniKey(f, QStringLiteral("Tab"), numberText(tab));
    ok &= SaveInboxCounts(state.mail, s);
    for (qsizetype i = 0; i < s.RecentAddresses.size(); ++i)
        ok &= WriteIniKey(f, QStringLiteral("To") + QString::number(i), s.RecentAddresses.at(i));
    s.RecentAddresses.clear();
    return ok;
}

} // namespace gabblet
