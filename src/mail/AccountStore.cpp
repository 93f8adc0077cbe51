#include "AccountStore.h"

#include "mail/Passwords.h"
#include "platform/IniFile.h"

namespace gabblet {
namespace {

bool flagKey(const QString& file, const QString& key) {
    return IniFlag(leadingNumber(ReadIniKey(file, key, QStringLiteral("0"))));
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
        WriteIniKey(settings.SharedFile, QStringLiteral("Version"),
                    QStringLiteral(GABBLET_VERSION_TEXT));
}

} // namespace gabblet
