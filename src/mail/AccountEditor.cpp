#include "AccountEditor.h"

#include "mail/AccountCheck.h"
#include "platform/Prompt.h"

namespace gabblet {
namespace {
const QString kTitle = QStringLiteral("Accounts");
} // namespace

AccountCaptions accountCaptions(const QString& type, int tab) {
    AccountCaptions c;
    c.type = QStringLiteral("Type: ") + accountTypeCaption(type);
    c.host = QStringLiteral("POP3 Host");
    c.server = type == kPOP3;
    // A local profile sends under its own address, as POP3 does.
    c.address = type == kPOP3 || type == kOutlook;
    if (type == kPOP3) {
        c.account = QStringLiteral("Account");
    } else if (type == kOutlook) {
        c.account = QStringLiteral("Maildir or profile");
        c.password = false; // a Maildir is opened without one
    } else {
        c.account = tab == 0 ? QStringLiteral("Account") : QStringLiteral("Logon");
    }
    return c;
}

QString accountTypeCaption(const QString& type) {
    return type == kOutlook ? QStringLiteral("Local mail") : type;
}

QString withoutForbiddenNameCharacters(const QString& name) {
    static const QString forbidden = QStringLiteral(":\"/\\|?*");
    QString out;
    out.reserve(name.size());
    for (QChar c : name)
        if (!forbidden.contains(c))
            out.append(c);
    return out;
}

AccountEditor::AccountEditor(MailTables& tables, const Settings& settings,
                             const ProgramPaths& paths, Prompt& prompt)
    : tables_(tables), settings_(settings), paths_(paths), prompt_(prompt) {}

void AccountEditor::fill() {
    LoadAccounts(tables_, settings_);
    tabs_.clear();
    for (int i = 0; i < tables_.AccCount; ++i)
        tabs_.append(tabOf(tables_.Acc[size_t(i)], i));
}

bool AccountEditor::add(const QString& type) {
    if (tabs_.size() >= kMaxAccounts) {
        prompt_.inform(QStringLiteral("9 is currently the maximum number of accounts. Let me know "
                                      "if you need more"),
                       QStringLiteral("Add Account"));
        return false;
    }
    AccountTab t;
    t.Type = type;
    tabs_.append(t);
    return true;
}

bool AccountEditor::remove(qsizetype index) {
    if (index < 0 || index >= tabs_.size() || tabs_[index].removed)
        return false;
    const QString caption = tabs_[index].Name.isEmpty() ? tabs_[index].Type : tabs_[index].Name;
    if (prompt_.question(QStringLiteral("Remove account ") + caption + QStringLiteral(" ?"),
                         kTitle) != PromptAnswer::Yes)
        return false;
    tabs_[index].removed = true;
    return true;
}

bool AccountEditor::namesAcceptable() {
    QStringList seen;
    for (const AccountTab& t : std::as_const(tabs_)) {
        if (t.removed)
            continue;
        // The settings file keeps names without their outer blanks.
        const QString name = t.Name.trimmed();
        if (name.isEmpty()) {
            prompt_.inform(QStringLiteral("Please give every account a name."), kTitle);
            return false;
        }
        if (seen.contains(name, Qt::CaseInsensitive)) {
            prompt_.inform(QStringLiteral("All accounts must have a unique name"), kTitle);
            return false;
        }
        seen << name;
    }
    return true;
}

bool AccountEditor::save() {
    const bool saved = SaveAccounts(tabs_, tables_, settings_, paths_, prompt_);
    LoadAccounts(tables_, settings_);
    return saved;
}

QString AccountEditor::inboxState(qsizetype index) const {
    const int slot = tabs_.value(index).slot;
    if (slot < 0 || slot >= kAccountSlots)
        return QStringLiteral("Unknown state");
    const MailStateRec& ms = tables_.MailState[size_t(slot)];
    if (!ms.Status.isEmpty())
        return ms.Status;
    if (ms.MsgCount != -1)
        return QString::number(ms.MsgCount) + QStringLiteral(" messages");
    return QStringLiteral("Unknown state");
}

QString AccountEditor::check(qsizetype index, AccountCheck& check) {
    if (index < 0 || index >= tabs_.size() || tabs_[index].removed)
        return {};
    if (!namesAcceptable() || !save())
        return inboxState(index);
    const int slot = tabs_[index].slot;
    if (slot < 0 || slot >= tables_.AccCount)
        return inboxState(index);
    AccountRec& acc = tables_.Acc[size_t(slot)];
    const bool active = acc.Active;
    const bool stored = acc.StorePassword;
    // Checked as if active and with its password: no question comes up. A
    // password typed on the tab but not stored is the one to try.
    acc.Active = true;
    acc.StorePassword = true;
    if (!stored)
        acc.Password = tabs_[index].Password;
    const bool ok = check.ChkAcc(slot);
    acc.Active = active;
    acc.StorePassword = stored;
    const MailStateRec& ms = tables_.MailState[size_t(slot)];
    // A failed check reports its reason, never the count of an earlier one.
    if (ok && ms.MsgCount == 1)
        return QStringLiteral("1 message in the inbox");
    if (ok && ms.MsgCount >= 0)
        return QString::number(ms.MsgCount) + QStringLiteral(" messages in the inbox");
    if (!ms.Status.isEmpty())
        return QStringLiteral("Status: ") + ms.Status;
    return QStringLiteral("Status: Unknown");
}

} // namespace gabblet
