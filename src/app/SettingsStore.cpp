#include "SettingsStore.h"

#include "app/AppState.h"
#include "mail/AccountStore.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/Version.h"
#include "state/SettingKeys.h"

namespace gabblet {
namespace {

constexpr int kMaxRecentAddresses = 1000;

// Reads the keys in order, each from its own file with its own default (the
// key table). The first one whose number does not fit throws the load out at
// that point, which is what the caller relies on.
class KeyReader {
public:
    explicit KeyReader(const Settings& settings) : settings_(settings) {}

    QString text(const char* name) const {
        const SettingKey& key = settingKey(QLatin1String(name));
        return ReadIniKey(settingsFile(settings_, key), QLatin1String(key.name),
                          QLatin1String(key.defaultValue));
    }
    bool flag(const char* name) const { return IniFlag(leadingNumber(text(name))); }
    bool boolean(const char* name) const { return iniBool(text(name)); }
    bool int16(const char* name, qint16& out) {
        auto v = toInt16(leadingNumber(text(name)));
        return v ? (out = *v, true) : fail(name);
    }
    bool int32(const char* name, qint32& out) {
        auto v = toInt32(leadingNumber(text(name)));
        return v ? (out = *v, true) : fail(name);
    }
    QString failedKey() const { return failed_; }
    bool fail(const char* name) {
        failed_ = QLatin1String(name);
        return false;
    }

private:
    const Settings& settings_;
    QString failed_;
};

bool readUserKeys(Settings& s, KeyReader& key, const ProgramPaths& paths) {
    s.MyName = key.text("MyName");
    if (s.MyName.isEmpty())
        s.MyName = loginName();
    qint16 box = 0;
    if (!key.int16("NoAction", box))
        return false;
    s.NoAction = box != 0;
    if (!key.int16("Quiet", box))
        return false;
    s.Quiet = box != 0;
    s.CheckEmail = key.flag("CheckEmail");
    s.SpeakSubject = key.flag("SpeakSubject");
    s.ProcTalk = key.flag("ProcTalk");
    s.HideAfterEmail = key.flag("HideAfterEmail");
    // Relative folders are below the program folder, wherever the program started.
    s.CharPath = paths.resolve(key.text("CharPath"));
    s.OfficePath = paths.resolve(key.text("OfficePath"));
    s.DefaultChar = key.text("DefaultChar");
    s.TheReadChar = key.text("TheReadChar");
    s.ParagraphPause = key.flag("ParagraphPause");
    s.UseAssistant = key.flag("UseAssistant");
    s.UseAgent = key.flag("UseAgent");
    s.CheckStartup = key.flag("CheckStartup");
    s.EmailSeperateWindows = key.flag("EmailSeperateWindows");
    s.EmailAnnWave = key.flag("EmailAnnWave");
    s.WaveFilename = key.text("WaveFilename");
    if (!key.int32("TimeOut", s.TimeOut) || !key.int32("TimeOutWeb", s.TimeOutWeb) ||
        !key.int16("MaxToGet", s.MaxToGet))
        return false;
    s.LastSendAccount = key.text("LastSendAccount");
    s.CacheAcc = key.boolean("CacheAcc");
    s.CacheEmail = key.boolean("CacheEmail");
    s.Debug = key.text("Debug") == QLatin1String("1");
    qint16 port = 0;
    if (!key.int16("Port", port))
        return false;
    // The reply port is Port + 1, so both must fit a 16-bit signed number.
    if (port < 0 || port > 32766)
        return key.fail("Port");
    s.Port = port;
    s.BindAddress = key.text("BindAddress");
    s.UpdateCommand = key.text("UpdateCommand");
    s.DesktopNotify = key.flag("DesktopNotify");
    s.CAFile = paths.resolve(key.text("CAFile"));
    s.MailCityHome = key.text("MailCityHome");
    s.HotMailHome = key.text("HotMailHome");
    s.SendmailCommand = key.text("SendmailCommand");
    s.AcceptFrom = key.text("AcceptFrom").toLower();
    // A negative limit in a hand-edited file means no limit, like 0.
    if (!key.int32("MaxPerMinute", s.MaxPerMinute) || !key.int32("MaxSpoken", s.MaxSpoken))
        return false;
    s.MaxPerMinute = qMax(0, s.MaxPerMinute);
    s.MaxSpoken = qMax(0, s.MaxSpoken);
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

    KeyReader keys(s);
    if (!readUserKeys(s, keys, state.paths))
        return QStringLiteral("the value of %1 is out of range").arg(keys.failedKey());

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
