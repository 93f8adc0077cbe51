#pragma once

#include <QAnyStringView>
#include <QString>

#include <span>

namespace gabblet {

struct Settings;

// How a key's text is read (platform/IniFile.h has the readers).
enum class SettingType {
    Text,     // the trimmed value
    Flag,     // true exactly for the number 1
    Bool,     // true for any non-zero number (or True)
    Number16, // the leading number, which must fit 16 bits
    Number32, // the leading number, which must fit 32 bits
};

// Which of the two settings files holds a key: the user's, or the one in the
// program folder that every user of the installation shares.
enum class SettingsFileKind { User, Shared };

// One key of the settings files outside the account block: its name as the
// program spells it, how it is read, its value when missing, and its file.
struct SettingKey {
    const char* name;
    SettingType type;
    const char* defaultValue;
    SettingsFileKind file = SettingsFileKind::User;
};

// Every such key. A new setting is one line here.
std::span<const SettingKey> settingKeys();
// The key of that name (letter case ignored); nullptr when there is none.
const SettingKey* findSettingKey(QAnyStringView name);
// Like findSettingKey for a name the program itself uses: an unknown name is
// a programming error and stops the program.
const SettingKey& settingKey(QAnyStringView name);
// The file the key lives in.
const QString& settingsFile(const Settings& settings, const SettingKey& key);

} // namespace gabblet
