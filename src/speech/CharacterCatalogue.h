#pragma once

#include "platform/CharacterHost.h"
#include "platform/StatusLog.h"
#include "state/Settings.h"

#include <QString>
#include <QStringList>

namespace gabblet {

enum class CharacterKind { None, Assistant, Agent };

// "" or "[none]" (any case): no character; a leading "*": an assistant; else Agent.
CharacterKind characterKind(const QString& name);

// Where bundled characters are looked for, in order: the installed data
// folder (<datadir>/gabblet/characters), then characters/ beside the
// executable.
QStringList defaultCharacterFolders();

// Fills CharPath (and, with UseAssistant, OfficePath) in memory when the
// setting is empty or holds no character file: the first folder of
// `folders` that holds one. Paths end in "/". The two searches are also
// offered one by one, so start-up can say which one runs.
void FindCharacterDirs(Settings& settings, const QStringList& folders);
void FindAgentDir(Settings& settings, const QStringList& folders);
void FindAssistantDir(Settings& settings, const QStringList& folders);

// Agent names, then "*" assistant names, then "[None]".
QStringList FillCharacterList(const Settings& settings);

// The characters of one kind in a folder, named as the list names them
// (assistants with their "*"), sorted; none for an empty folder name.
QStringList characterNames(const QString& folder, CharacterKind kind);

// The name to use for `name`, substituting (with a status line) when the
// character does not exist. Names match their files without regard to
// letter case and come back spelled as the file is.
QString ResolveCharacter(const Settings& settings, StatusLog& status, const QString& name);

// The file of a character, or "" when there is none. A name that could
// reach outside the character folder ("../x", "a/b", empty, overlong) has none.
QString agentFile(const Settings& settings, const QString& name);
QString assistantFile(const Settings& settings, const QString& name);

// The assistant's 34 animation names, and a name's number (1-based, 0 when
// unknown; "mso" is put in front when missing).
const QStringList& assistantAnimationNames();
int assistantAnimationNumber(const QString& name);

// The notification window's effects, as the action list offers them.
QStringList notificationAnimationNames();

// What choosing a character in the list does: the actions to offer and, for
// an Agent character, its own pitch and speed.
struct CharacterSelection {
    // The Agent character now loaded, spelled as its file; "" for the others.
    QString loaded;
    QStringList animations;
    bool hasVoice = false;
    int pitch = 0;
    int speed = 0;
};
CharacterSelection selectCharacter(CharacterHost& host, const Settings& settings,
                                   const QString& name);

} // namespace gabblet
