#include "options/AdvancedSettings.h"

#include <array>

namespace gabblet {

namespace {

using Check = AdvancedSetting::Check;

const std::array kAdvanced{
    AdvancedSetting{"BindAddress", "Bind address",
                    "The address of this computer that Gabblet's two ports listen on; empty for "
                    "all of them. Takes effect at the next start.",
                    &Settings::BindAddress, Check::IpAddress},
    AdvancedSetting{"UpdateCommand", "Update command",
                    "The program that File > Update runs to install a newer Gabblet; empty "
                    "switches updating off.",
                    &Settings::UpdateCommand},
    AdvancedSetting{"CAFile", "Extra certificate authorities",
                    "A PEM file of authorities trusted besides the system's, for mail servers "
                    "with a certificate of their own; empty for the system's only.",
                    &Settings::CAFile, Check::ExistingFile, INT_MIN, INT_MAX,
                    "Specify a file of certificate authorities",
                    "Certificates (*.pem *.crt)|*.pem;*.crt"},
    AdvancedSetting{"MailCityHome", "MailCity address",
                    "The address of the MailCity web-mail service, as [http[s]://]host[:port]; "
                    "empty when no MailCity account is used.",
                    &Settings::MailCityHome},
    AdvancedSetting{"HotMailHome", "HotMail address",
                    "The address of the HotMail web-mail service, as [http[s]://]host[:port]; "
                    "empty when no HotMail account is used.",
                    &Settings::HotMailHome},
    AdvancedSetting{"DesktopNotify", "Desktop notifications",
                    "New e-mail also shows as a desktop notification with the sender and "
                    "subject.",
                    &Settings::DesktopNotify},
    AdvancedSetting{"SendmailCommand", "Mail sender program",
                    "The program, with its arguments, that sends the mail of Local mail "
                    "accounts; it reads the message on its standard input.",
                    &Settings::SendmailCommand},
    AdvancedSetting{.key = "AcceptFrom",
                    .caption = "Accept messages from",
                    .explanation = "Who may make your character speak: everyone, only the "
                                   "addresses in your alias list, or nobody (others are refused).",
                    .field = &Settings::AcceptFrom,
                    .check = Check::Choice,
                    .choices = "all|aliases|none"},
    AdvancedSetting{.key = "MaxPerMinute",
                    .caption = "Messages per minute",
                    .explanation = "The most messages one sender may have spoken in a minute; "
                                   "the rest are refused. 0 for no limit.",
                    .field = &Settings::MaxPerMinute,
                    .minimum = 0,
                    .maximum = 100000},
    AdvancedSetting{.key = "MaxSpoken",
                    .caption = "Longest spoken message",
                    .explanation = "Received messages longer than this many characters are "
                                   "spoken cut short (kept whole in the history). 0 for no limit.",
                    .field = &Settings::MaxSpoken,
                    .minimum = 0,
                    .maximum = 1000000},
};

} // namespace

std::span<const AdvancedSetting> advancedSettings() {
    return kAdvanced;
}

QStringList advancedChoices(const AdvancedSetting& setting) {
    return setting.choices ? QString::fromLatin1(setting.choices).split(QLatin1Char('|'))
                           : QStringList();
}

QString advancedText(const Settings& settings, const AdvancedSetting& setting) {
    if (setting.check == AdvancedSetting::Check::Choice) {
        const QStringList choices = advancedChoices(setting);
        const QString value = (settings.*std::get<QString Settings::*>(setting.field)).toLower();
        return choices.contains(value) ? value : choices.value(0);
    }
    return std::visit(
        [&settings](auto member) -> QString {
            const auto& value = settings.*member;
            using V = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<V, QString>)
                return value;
            else if constexpr (std::is_same_v<V, bool>)
                return value ? QStringLiteral("1") : QStringLiteral("0");
            else
                return QString::number(value);
        },
        setting.field);
}

} // namespace gabblet
