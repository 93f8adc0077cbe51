#include "AccountStore.h"

#include "mail/Passwords.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/Prompt.h"
#include "platform/Version.h"

#include <QDir>
#include <QFile>

#include <vector>

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

// Every key an account has in the block, the ones the dialog never shows included.
const char* const kBlockKeys[] = {"Type",   "Name",     "Description", "Account", "Password",
                                  "Host",   "SMTP",     "Address",     "Active",  "StorePassword",
                                  "ChkFrq", "Remember", "RASActive",   "Reverse", "Inbox"};

QString slotKey(const char* name, int slot) {
    return QLatin1String(name) + QString::number(slot);
}

QString boolText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Writes one live tab into its slot; keys the account does not use are
// deleted, so a slot never keeps what an earlier account left there.
void writeTab(IniBatch& ini, const AccountTab& tab, int slot) {
    auto put = [&](const char* key, const QString& value) { ini.write(slotKey(key, slot), value); };
    put("Type", tab.Type);
    put("Name", tab.Name);
    put("Description", tab.Description);
    put("Account", tab.Account);
    put("Active", boolText(tab.Active));
    put("ChkFrq", tab.ChkFrq.trimmed());
    put("Remember", boolText(tab.Remember));
    put("RASActive", boolText(tab.RASActive));
    put("StorePassword", boolText(tab.StorePassword));
    // A password the user no longer wants stored leaves the file.
    if (tab.StorePassword)
        put("Password", ScramblePassword(tab.Password));
    else
        ini.remove(slotKey("Password", slot));
    const std::pair<const char*, const QString*> server[] = {
        {"Host", &tab.Host}, {"SMTP", &tab.SMTP}, {"Address", &tab.Address}};
    for (const auto& [key, value] : server) {
        // Local profiles keep an address too: the sender of their mail.
        if (tab.Type == kPOP3 || (tab.Type == kOutlook && value == &tab.Address))
            put(key, *value);
        else
            ini.remove(slotKey(key, slot));
    }
}

// The web-mail rule: a frequency below 10 that is not 0 becomes 10.
void applyWebMailFrequency(AccountTab& tab, Prompt& prompt) {
    if (!isWebMail(tab.Type))
        return;
    const double frequency = leadingNumber(tab.ChkFrq);
    if (frequency == 0 || frequency >= 10)
        return;
    prompt.inform(QStringLiteral("Maximum check frequency is 10 minutes for web based email "
                                 "services. I have changed your ") +
                      tab.ChkFrq.trimmed() + QStringLiteral(" to 10"),
                  tab.Name);
    tab.ChkFrq = QStringLiteral("10");
}

// Identifier files follow their accounts: the moving ones step aside first,
// every other file of a slot that is not kept goes, then the moving ones
// take their new names. Identifier files only tell new mail from old, so a
// file that cannot be moved is dropped rather than left with another account.
void moveIdentifierFiles(const ProgramPaths& paths, const QList<AccountTab>& tabs,
                         const std::vector<int>& oldSlots) {
    QList<int> kept;
    QList<std::pair<QString, int>> moving;
    for (qsizetype t = 0; t < tabs.size(); ++t) {
        const int from = oldSlots[size_t(t)], to = tabs[t].slot;
        if (to < 0 || from < 0)
            continue;
        if (from == to) {
            kept << to;
        } else if (QFile::exists(idsFile(paths, from))) {
            const QString aside = idsFile(paths, from) + QStringLiteral(".moving");
            QFile::remove(aside);
            if (QFile::rename(idsFile(paths, from), aside))
                moving.append({aside, to});
        }
    }
    for (int slot = 0; slot < kAccountSlots; ++slot)
        if (!kept.contains(slot) && QFile::exists(idsFile(paths, slot)))
            QFile::remove(idsFile(paths, slot));
    for (const auto& [aside, to] : std::as_const(moving))
        if (!QFile::rename(aside, idsFile(paths, to)))
            QFile::remove(aside);
}

} // namespace

bool isWebMail(const QString& type) {
    return type == kHotMail || type == kMailCity;
}

QString idsFile(const ProgramPaths& paths, int slot) {
    return paths.userFile(QStringLiteral("gab") + QString::number(slot) + QStringLiteral(".ids"));
}

AccountTab tabOf(const AccountRec& a, int slot) {
    AccountTab t;
    t.Type = a.Type;
    t.Name = a.Name;
    t.Description = a.Description;
    t.Account = a.Account;
    t.Password = a.Password;
    t.Host = a.Host;
    t.SMTP = a.SMTP;
    t.Address = a.Address;
    t.ChkFrq = QString::number(a.ChkFrq);
    t.Active = a.Active;
    t.StorePassword = a.StorePassword;
    t.Remember = a.Remember;
    t.RASActive = a.RASActive;
    t.slot = slot;
    return t;
}

bool SaveAccounts(QList<AccountTab>& tabs, MailTables& tables, const Settings& settings,
                  const ProgramPaths& paths, Prompt& prompt) {
    // Passwords are written in the current scheme; a file without a version
    // would have them read in the old one. Loading has already converted any
    // old ones, so the version can go first.
    const bool sameFile = settings.SharedFile == settings.UserFile;
    const bool oldFile =
        float(leadingNumber(ReadIniKey(settings.SharedFile, QStringLiteral("Version"),
                                       QStringLiteral("0")))) < 0.3f;
    if (oldFile && !sameFile)
        WriteIniKey(settings.SharedFile, QStringLiteral("Version"), kVersionText);

    IniBatch ini(settings.UserFile);
    if (oldFile && sameFile)
        ini.write(QStringLiteral("Version"), kVersionText);
    // What moves with an account besides its tab, read before anything moves.
    struct Carried {
        QString reverse;
        QString inbox;
    };
    std::vector<Carried> carried(size_t(tabs.size()));
    for (qsizetype t = 0; t < tabs.size(); ++t)
        if (tabs[t].slot >= 0)
            carried[size_t(t)] = {ini.read(slotKey("Reverse", tabs[t].slot), QString()),
                                  ini.read(slotKey("Inbox", tabs[t].slot), QString())};
    int next = 0;
    for (qsizetype t = 0; t < tabs.size(); ++t) {
        AccountTab& tab = tabs[t];
        if (tab.removed)
            continue;
        applyWebMailFrequency(tab, prompt);
        writeTab(ini, tab, next);
        for (const auto& [key, value] : {std::pair{"Reverse", carried[size_t(t)].reverse},
                                         std::pair{"Inbox", carried[size_t(t)].inbox}}) {
            if (value.isEmpty())
                ini.remove(slotKey(key, next));
            else
                ini.write(slotKey(key, next), value);
        }
        ++next;
    }
    for (int slot = next; slot < kAccountSlots; ++slot)
        for (const char* key : kBlockKeys)
            ini.remove(slotKey(key, slot));
    if (!ini.commit()) {
        prompt.inform(QStringLiteral("Sorry - the accounts could not be saved in ") +
                          settings.UserFile + QLatin1Char('.'),
                      QStringLiteral("Accounts"), PromptIcon::Exclamation);
        return false;
    }

    // The file is written: the slots in memory and on disk follow.
    std::vector<int> oldSlots(size_t(tabs.size()));
    std::vector<MailStateRec> states(static_cast<size_t>(kAccountSlots));
    next = 0;
    for (qsizetype t = 0; t < tabs.size(); ++t) {
        AccountTab& tab = tabs[t];
        oldSlots[size_t(t)] = tab.slot;
        if (tab.removed) {
            tab.slot = -1;
            continue;
        }
        if (tab.slot >= 0 && tab.slot < kAccountSlots)
            states[size_t(next)] = std::move(tables.MailState[size_t(tab.slot)]);
        tab.slot = next++;
    }
    for (size_t i = 0; i < states.size(); ++i)
        tables.MailState[i] = std::move(states[i]);
    moveIdentifierFiles(paths, tabs, oldSlots);
    return true;
}

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
        if (isWebMail(rec.Type) && rec.ChkFrq != 0 && rec.ChkFrq < 10)
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
        } else if (rec.Type == kOutlook) {
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
