#include "AccountStore.h"

#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/Version.h"

#include <QDir>

namespace gabblet {
namespace {

bool flagKey(const QString& file, const QString& key) {
    return IniFlag(leadingNumber(ReadIniKey(file, key, QStringLiteral("0"))));
}

// A folder name taken from the settings file must stay a single name.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

} // namespace

void LoadAccounts(MailTables& tables, const Settings& settings) {
    const QString& file = settings.UserFile;
    const float version = static_cast<float>(leadingNumber(
        ReadIniKey(settings.SharedFile, QStringLiteral("Version"), QStringLiteral("0"))));
    qint16 count = 0;
    bool converted = false;
    for (qsizetype i = 0; i < kAccountSlots; ++i) {
        const QString n = QString::number(i);
        auto key = [&](const char* name) { return QLatin1String(name) + n; };
        AccountRec rec;
        rec.Type = ReadIniKey(file, key("Type"), QString());
        if (rec.Type.isEmpty())
            break;
        rec.Name = ReadIniKey(file, key("Name"), QString());
        rec.Description = ReadIniKey(file, key("Description"), QString());
        rec.Account = ReadIniKey(file, key("Account"), QString());
        rec.Active = flagKey(file, key("Active"));
        // A frequency too large for the field is read as "never" rather than
        // failing the whole load.
        rec.ChkFrq = toInt16(leadingNumber(ReadIniKey(file, key("ChkFrq"), QStringLiteral("0"))))
                         .value_or(0);
        const bool web =
            rec.Type == QLatin1String("HotMail") || rec.Type == QLatin1String("MailCity");
        if (web && rec.ChkFrq != 0 && rec.ChkFrq < 10)
            rec.ChkFrq = 10;
        rec.Remember = flagKey(file, key("Remember"));
        rec.RASActive = flagKey(file, key("RASActive"));
        rec.StorePassword = flagKey(file, key("StorePassword"));
        if (rec.StorePassword) {
            const QString stored = ReadIniKey(file, key("Password"), QString());
            if (version >= 0.3f) {
                rec.Password = UnscramblePassword(stored);
            } else {
                rec.Password = UnscrambleOld(stored);
                WriteIniKey(file, key("Password"), ScramblePassword(rec.Password));
                converted = true;
            }
        }
        if (rec.Type == QLatin1String("POP3")) {
            rec.Host = ReadIniKey(file, key("Host"), QString());
            rec.SMTP = ReadIniKey(file, key("SMTP"), QString());
            rec.Address = ReadIniKey(file, key("Address"), QString());
        }
        rec.LoggedOn = false;
        const QString reverse = ReadIniKey(file, key("Reverse"), QString());
        if (reverse.isEmpty()) {
            rec.Reverse = rec.Type == QLatin1String("HotMail");
            WriteIniKey(file, key("Reverse"),
                        rec.Reverse ? QStringLiteral("1") : QStringLiteral("0"));
        } else {
            rec.Reverse = IniFlag(leadingNumber(reverse));
        }
        tables.Acc[static_cast<size_t>(i)] = rec;
        count = static_cast<qint16>(i + 1);
    }
    for (qsizetype i = count; i < kAccountSlots; ++i)
        tables.Acc[static_cast<size_t>(i)] = AccountRec{};
    tables.AccCount = count;
    // The passwords are in the current scheme now; say so in the file at once,
    // or a run that ends without saving would convert them a second time.
    if (converted)
        WriteIniKey(settings.SharedFile, QStringLiteral("Version"), kVersionText);
}

void PrepareAccounts(MailTables& mail, const Settings& s, const ProgramPaths& paths) {
    for (qsizetype i = 0; i < mail.AccCount; ++i) {
        const AccountRec& acc = mail.Acc[size_t(i)];
        MailStateRec& ms = mail.MailState[size_t(i)];
        ms.MsgCount = -1;
        if (acc.Active && acc.Remember) {
            const auto n = toInt16(leadingNumber(ReadIniKey(
                s.UserFile, QStringLiteral("Inbox") + QString::number(i), QStringLiteral("-1"))));
            ms.MsgCount = n.value_or(-1);
        }
        ms.Countdown = acc.ChkFrq;
        if (s.CacheEmail && isPlainName(acc.Name) && isPlainName(acc.Type))
            QDir().mkpath(
                paths.file(QStringLiteral("cache/") + acc.Name + QLatin1Char('/') + acc.Type));
    }
}

bool SaveInboxCounts(const MailTables& mail, const Settings& settings) {
    bool ok = true;
    for (qsizetype i = 0; i < mail.AccCount; ++i) {
        const AccountRec& acc = mail.Acc[size_t(i)];
        const qint16 count = mail.MailState[size_t(i)].MsgCount;
        if (acc.Active && acc.Remember && count != -1)
            ok &= WriteIniKey(settings.UserFile, QStringLiteral("Inbox") + QString::number(i),
                              numberText(count));
    }
    return ok;
}

void MigrateOldSettings(const QString& sharedFile) {
    auto read = [&](const char* key, const char* def) {
        return ReadIniKey(sharedFile, QLatin1String(key), QLatin1String(def));
    };
    auto write = [&](const char* key, int n, const QString& value) {
        WriteIniKey(sharedFile, QLatin1String(key) + QString::number(n), value);
    };
    // The old keys kept their passwords in the current scheme. The account
    // loader reads a file without a version in the old scheme, so the clear
    // password is stored in that scheme: the loader then recovers exactly what
    // the user once typed and rewrites it in the current one.
    auto migratedPassword = [](const QString& stored) {
        return ScrambleOld(UnscramblePassword(stored.trimmed()));
    };
    const QString outlookProfile = read("OutlookProfile", "");
    const QString outlookPassword = read("OutlookPassword", "");
    const QString outlookStore = read("OutlookStore", "0");
    const QString outlookUse = read("OutlookUse", "0");
    const QString popHost = read("POPHOST", "");
    const QString popAccount = read("POPAccount", "");
    const QString popPassword = read("POPPassword", "");
    const QString popStore = read("POPStore", "0");
    const QString popUse = read("POPUse", "0");

    int n = 0;
    if (outlookUse != QLatin1String("0")) {
        write("type", 0, QStringLiteral("Outlook"));
        write("name", 0, QStringLiteral("Outlook"));
        write("account", 0, outlookProfile);
        write("active", 0, QStringLiteral("1"));
        write("storepassword", 0, outlookStore);
        if (outlookStore == QLatin1String("1"))
            write("password", 0, migratedPassword(outlookPassword));
        n = 1;
    }
    if (popUse != QLatin1String("0")) {
        write("type", n, QStringLiteral("POP3"));
        write("name", n, QStringLiteral("POP3"));
        write("account", n, popAccount);
        write("host", n, popHost);
        write("storepassword", n, popStore);
        write("active", n, popUse);
        if (popStore == QLatin1String("1"))
            write("password", n, migratedPassword(popPassword));
    }
    for (const char* key : {"OutlookProfile", "OutlookPassword", "OutlookStore", "OutlookUse",
                            "POPHOST", "POPAccount", "POPPassword", "POPStore", "POPUse"})
        DeleteIniKey(sharedFile, QLatin1String(key));
}

} // namespace gabblet
