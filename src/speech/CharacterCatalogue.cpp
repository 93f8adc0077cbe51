#include "speech/CharacterCatalogue.h"

#include "platform/ProgramPaths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace gabblet {

namespace {

const QString kNone = QStringLiteral("[None]");
const QString kAgentSuffix = QStringLiteral(".acs");
const QString kAssistantSuffix = QStringLiteral(".act");

// Longer than any name a person would type; keeps peer-supplied names short.
constexpr qsizetype kMaxNameLength = 64;

void logSubstitution(StatusLog& status) {
    status.AddStatus(QStringLiteral("Could not find required character, so substitution made\r\n"));
}

// A name that can stand for a character file. Names arrive from other machines
// and from typed text, so anything that could name another folder (separators,
// "..") or could not travel in a message (the ":" separator, control
// characters) is refused. "[None]" is never a character of its own.
bool isCharacterName(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return false;
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.compare(kNone, Qt::CaseInsensitive) == 0)
        return false;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
        if (QStringView(u"/\\:*?\"<>|").contains(c))
            return false;
    }
    return true;
}

QString withSlash(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

struct CharacterFile {
    QString name; // the file name without its extension, as spelled on disk
    QString path;
};

// The character files of one kind in `folder`, sorted by name. Only the
// folder is listed; no file is opened. An empty folder setting means none
// (not the current folder, which would depend on where the program started).
QList<CharacterFile> listCharacters(const QString& folder, const QString& suffix) {
    QList<CharacterFile> found;
    if (folder.isEmpty())
        return found;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QStringList{QLatin1Char('*') + suffix}, QDir::Files, QDir::NoSort);
    for (const QFileInfo& info : entries) {
        const QString fileName = info.fileName();
        if (!fileName.endsWith(suffix, Qt::CaseInsensitive))
            continue;
        // Only the extension is dropped, so "A.b.acs" is offered as "A.b" and
        // that name finds the file again.
        const QString name = fileName.chopped(suffix.size());
        if (!isCharacterName(name))
            continue;
        found.append({name, info.absoluteFilePath()});
    }
    std::sort(found.begin(), found.end(), [](const CharacterFile& a, const CharacterFile& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return found;
}

// The file for `name`, ignoring letter case; an exact spelling wins when two
// files differ only in case.
std::optional<CharacterFile> findCharacter(const QString& folder, const QString& suffix,
                                           const QString& name) {
    if (!isCharacterName(name))
        return std::nullopt;
    std::optional<CharacterFile> match;
    for (const CharacterFile& file : listCharacters(folder, suffix)) {
        if (file.name == name)
            return file;
        if (!match && file.name.compare(name, Qt::CaseInsensitive) == 0)
            match = file;
    }
    return match;
}

QString assistantBaseName(const QString& name) {
    return name.startsWith(QLatin1Char('*')) ? name.mid(1) : name;
}

std::optional<CharacterFile> findAgent(const Settings& settings, const QString& name) {
    return findCharacter(settings.CharPath, kAgentSuffix, name);
}

std::optional<CharacterFile> findAssistant(const Settings& settings, const QString& name) {
    return findCharacter(settings.OfficePath, kAssistantSuffix, assistantBaseName(name));
}

// The default character when it is an Agent character that exists, spelled
// as its file; nothing otherwise.
std::optional<QString> existingDefaultAgent(const Settings& settings) {
    if (!settings.UseAgent || characterKind(settings.DefaultChar) != CharacterKind::Agent)
        return std::nullopt;
    if (const auto file = findAgent(settings, settings.DefaultChar))
        return file->name;
    return std::nullopt;
}

QString defaultAssistant(const Settings& settings) {
    const bool defaultIsAssistant = characterKind(settings.DefaultChar) == CharacterKind::Assistant;
    if (defaultIsAssistant) {
        if (const auto file = findAssistant(settings, settings.DefaultChar))
            return QLatin1Char('*') + file->name;
    }
    const QList<CharacterFile> assistants = listCharacters(settings.OfficePath, kAssistantSuffix);
    if (!assistants.isEmpty())
        return QLatin1Char('*') + assistants.first().name;
    // With no assistant at all, an Agent default may stand in; an assistant
    // default cannot, so that gives "[None]".
    return existingDefaultAgent(settings).value_or(kNone);
}

bool holdsCharacters(const QString& folder, const QString& suffix) {
    return !listCharacters(folder, suffix).isEmpty();
}

void findFolder(QString& setting, const QStringList& folders, const QString& suffix) {
    setting = withSlash(setting);
    if (!setting.isEmpty() && holdsCharacters(setting, suffix))
        return;
    for (const QString& folder : folders) {
        if (!folder.isEmpty() && holdsCharacters(folder, suffix)) {
            setting = withSlash(folder);
            return;
        }
    }
}

} // namespace

CharacterKind characterKind(const QString& name) {
    if (name.isEmpty() || name.compare(kNone, Qt::CaseInsensitive) == 0)
        return CharacterKind::None;
    if (name.startsWith(QLatin1Char('*')))
        return CharacterKind::Assistant;
    return CharacterKind::Agent;
}

QStringList defaultCharacterFolders() {
    QStringList folders;
    for (const QString& data : ProgramPaths::dataFolders())
        folders << data + QStringLiteral("characters/");
    return folders;
}

void FindCharacterDirs(Settings& settings, const QStringList& folders) {
    FindAgentDir(settings, folders);
    FindAssistantDir(settings, folders);
}

void FindAgentDir(Settings& settings, const QStringList& folders) {
    findFolder(settings.CharPath, folders, kAgentSuffix);
}

void FindAssistantDir(Settings& settings, const QStringList& folders) {
    if (settings.UseAssistant)
        findFolder(settings.OfficePath, folders, kAssistantSuffix);
    else
        settings.OfficePath = withSlash(settings.OfficePath);
}

QStringList FillCharacterList(const Settings& settings) {
    QStringList list;
    if (settings.UseAgent) {
        for (const CharacterFile& file : listCharacters(settings.CharPath, kAgentSuffix))
            list << file.name;
    }
    if (settings.UseAssistant) {
        for (const CharacterFile& file : listCharacters(settings.OfficePath, kAssistantSuffix))
            list << QLatin1Char('*') + file.name;
    }
    list << kNone;
    return list;
}

QStringList characterNames(const QString& folder, CharacterKind kind) {
    QStringList names;
    if (kind == CharacterKind::None)
        return names;
    const bool agent = kind == CharacterKind::Agent;
    for (const CharacterFile& file :
         listCharacters(folder, agent ? kAgentSuffix : kAssistantSuffix))
        names << (agent ? file.name : QLatin1Char('*') + file.name);
    return names;
}

QString ResolveCharacter(const Settings& settings, StatusLog& status, const QString& name) {
    if (name.compare(kNone, Qt::CaseInsensitive) == 0)
        return name;

    if (characterKind(name) == CharacterKind::Assistant) {
        if (settings.UseAssistant) {
            if (const auto file = findAssistant(settings, name))
                return QLatin1Char('*') + file->name;
        }
        logSubstitution(status);
        if (settings.UseAssistant)
            return defaultAssistant(settings);
        return existingDefaultAgent(settings).value_or(kNone);
    }

    // Any other name, the empty one included, is looked for as an Agent
    // character; one that has no file is substituted.
    if (settings.UseAgent) {
        if (const auto file = findAgent(settings, name))
            return file->name;
    }
    logSubstitution(status);
    if (settings.UseAgent)
        return existingDefaultAgent(settings).value_or(kNone);
    if (settings.UseAssistant)
        return defaultAssistant(settings);
    return QString();
}

QString agentFile(const Settings& settings, const QString& name) {
    const auto file = findAgent(settings, name);
    return file ? file->path : QString();
}

QString assistantFile(const Settings& settings, const QString& name) {
    const auto file = findAssistant(settings, name);
    return file ? file->path : QString();
}

const QStringList& assistantAnimationNames() {
    static const QStringList names{
        QStringLiteral("msoAnimationAppear"),
        QStringLiteral("msoAnimationBeginSpeaking"),
        QStringLiteral("msoAnimationCharacterSuccessMajor"),
        QStringLiteral("msoAnimationCheckingSomething"),
        QStringLiteral("msoAnimationDisappear"),
        QStringLiteral("msoAnimationEmptyTrash"),
        QStringLiteral("msoAnimationGestureDown"),
        QStringLiteral("msoAnimationGestureLeft"),
        QStringLiteral("msoAnimationGestureRight"),
        QStringLiteral("msoAnimationGestureUp"),
        QStringLiteral("msoAnimationGetArtsy"),
        QStringLiteral("msoAnimationGetAttentionMajor"),
        QStringLiteral("msoAnimationGetAttentionMinor"),
        QStringLiteral("msoAnimationGetTechy"),
        QStringLiteral("msoAnimationGetWizardy"),
        QStringLiteral("msoAnimationGoodbye"),
        QStringLiteral("msoAnimationGreeting"),
        QStringLiteral("msoAnimationIdle"),
        QStringLiteral("msoAnimationListensToComputer"),
        QStringLiteral("msoAnimationLookDown"),
        QStringLiteral("msoAnimationLookDownLeft"),
        QStringLiteral("msoAnimationLookDownRight"),
        QStringLiteral("msoAnimationLookLeft"),
        QStringLiteral("msoAnimationLookRight"),
        QStringLiteral("msoAnimationLookUp"),
        QStringLiteral("msoAnimationLookUpLeft"),
        QStringLiteral("msoAnimationLookUpRight"),
        QStringLiteral("msoAnimationPrinting"),
        QStringLiteral("msoAnimationSaving"),
        QStringLiteral("msoAnimationSearching"),
        QStringLiteral("msoAnimationSendingMail"),
        QStringLiteral("msoAnimationThinking"),
        QStringLiteral("msoAnimationWorkingAtSomething"),
        QStringLiteral("msoAnimationWritingNotingSomething"),
    };
    return names;
}

int assistantAnimationNumber(const QString& name) {
    // Animation names are typed into messages by people, so letter case and
    // stray blanks around the name are forgiven, and the short form
    // ("Greeting") is understood as well as "AnimationGreeting" and the full
    // name.
    const QString trimmed = name.trimmed();
    QStringList candidates;
    if (trimmed.startsWith(QLatin1String("mso"), Qt::CaseInsensitive)) {
        candidates << trimmed;
    } else {
        candidates << QLatin1String("mso") + trimmed;
        candidates << QLatin1String("msoAnimation") + trimmed;
    }
    const QStringList& names = assistantAnimationNames();
    for (const QString& candidate : candidates) {
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (names[i].compare(candidate, Qt::CaseInsensitive) == 0)
                return int(i) + 1;
        }
    }
    return 0;
}

QStringList notificationAnimationNames() {
    return {
        QStringLiteral("appear"),  QStringLiteral("zoomin"),        QStringLiteral("zoomout"),
        QStringLiteral("hide"),    QStringLiteral("zoomtocentre1"), QStringLiteral("zoomtocentre2"),
        QStringLiteral("rainbow"), QStringLiteral("rainbowoff"),    QStringLiteral("delay")};
}

CharacterSelection selectCharacter(CharacterHost& host, const Settings& settings,
                                   const QString& name) {
    CharacterSelection selection;
    switch (characterKind(name)) {
    case CharacterKind::None:
        selection.animations = notificationAnimationNames();
        break;
    case CharacterKind::Assistant:
        selection.animations = assistantAnimationNames();
        break;
    case CharacterKind::Agent: {
        const auto file = findAgent(settings, name);
        if (!file)
            break;
        // A character that fails to load simply offers nothing; its voice
        // values would be meaningless, so the sliders are left alone.
        host.load(file->name, file->path);
        if (!host.isLoaded(file->name))
            break;
        selection.loaded = file->name;
        selection.animations = host.animationNames(file->name);
        selection.hasVoice = true;
        selection.pitch = host.pitch(file->name);
        selection.speed = host.speed(file->name);
        break;
    }
    }
    return selection;
}

} // namespace gabblet
