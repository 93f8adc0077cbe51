#include "state/SettingKeys.h"

#include "state/Settings.h"

#include <array>

namespace gabblet {

namespace {

using T = SettingType;
constexpr auto Shared = SettingsFileKind::Shared;

constexpr std::array kKeys{
    SettingKey{"Version", T::Text, "", Shared},
    SettingKey{"MyName", T::Text, ""},
    SettingKey{"NoAction", T::Number16, "0"},
    SettingKey{"Quiet", T::Number16, "0"},
    SettingKey{"CheckEmail", T::Flag, "1"},
    SettingKey{"SpeakSubject", T::Flag, "1"},
    SettingKey{"ProcTalk", T::Flag, "1"},
    SettingKey{"HideAfterEmail", T::Flag, "1"},
    SettingKey{"CharPath", T::Text, "", Shared},
    SettingKey{"OfficePath", T::Text, "", Shared},
    SettingKey{"DefaultChar", T::Text, ""},
    SettingKey{"TheReadChar", T::Text, ""},
    SettingKey{"ParagraphPause", T::Flag, "1"},
    SettingKey{"UseAssistant", T::Flag, "0"},
    SettingKey{"UseAgent", T::Flag, "1"},
    SettingKey{"CheckStartup", T::Flag, "0"},
    SettingKey{"EmailSeperateWindows", T::Flag, "0"},
    SettingKey{"EmailAnnWave", T::Flag, "0"},
    SettingKey{"WaveFilename", T::Text, ""},
    SettingKey{"TimeOut", T::Number32, "30"},
    SettingKey{"TimeOutWeb", T::Number32, "90"},
    SettingKey{"MaxToGet", T::Number16, "20"},
    SettingKey{"LastSendAccount", T::Text, ""},
    SettingKey{"CacheAcc", T::Bool, "0"},
    SettingKey{"CacheEmail", T::Bool, "0"},
    SettingKey{"Debug", T::Text, "0"},
    SettingKey{"Port", T::Number16, "12345"},
    SettingKey{"FormTop", T::Number32, "-1"},
    SettingKey{"FormLeft", T::Number32, "-1"},
    SettingKey{"TheNoneWidth", T::Number32, "4800", Shared},
    SettingKey{"TheNoneHeight", T::Number32, "2835", Shared},
    // Ours. Peer sockets bind to one local address (several copies on one
    // machine); the updater and the extra certificate authorities are set up
    // for the whole installation, like the character folders.
    SettingKey{"BindAddress", T::Text, ""},
    SettingKey{"UpdateCommand", T::Text, "", Shared},
    SettingKey{"CAFile", T::Text, "", Shared},
    // The web-mail services have no fixed address any more: each
    // installation names the host that serves them.
    SettingKey{"MailCityHome", T::Text, "", Shared},
    SettingKey{"HotMailHome", T::Text, "", Shared},
    // New mail is also posted to the desktop's notification service.
    SettingKey{"DesktopNotify", T::Flag, "1", Shared},
    // Local mail profiles hand their messages to this program (split into
    // words, no shell), the system's sendmail by default.
    SettingKey{"SendmailCommand", T::Text, "/usr/sbin/sendmail -t -i", Shared},
    // Who may make the user's character speak, and how much.
    SettingKey{"AcceptFrom", T::Text, "all"},
    SettingKey{"MaxPerMinute", T::Number32, "0"},
    SettingKey{"MaxSpoken", T::Number32, "0"},
};

} // namespace

std::span<const SettingKey> settingKeys() {
    return kKeys;
}

const SettingKey* findSettingKey(QAnyStringView name) {
    for (const SettingKey& key : kKeys) {
        if (QAnyStringView::compare(name, QLatin1String(key.name), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

const SettingKey& settingKey(QAnyStringView name) {
    const SettingKey* key = findSettingKey(name);
    if (!key)
        qFatal("no setting named %s", qUtf8Printable(name.toString()));
    return *key;
}

const QString& settingsFile(const Settings& settings, const SettingKey& key) {
    return key.file == SettingsFileKind::Shared ? settings.SharedFile : settings.UserFile;
}

} // namespace gabblet
