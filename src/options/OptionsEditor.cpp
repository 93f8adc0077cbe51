#include "options/OptionsEditor.h"

#include "options/AdvancedSettings.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/Prompt.h"
#include "speech/CharacterCatalogue.h"
#include "state/SettingKeys.h"
#include "state/Settings.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QUrl>

namespace gabblet {

namespace {

const QString kTitle = QStringLiteral("Options");
const QString kNone = QStringLiteral("[None]");
const QString kNoAgents = QStringLiteral("Can't find any agent characters at that path");
const QString kNoAssistants =
    QStringLiteral("Can't find any Office Assistant characters at that path");

QString flagText(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// A folder as the settings keep it: trimmed, ending in "/" unless empty.
QString folderText(const QString& text) {
    QString folder = text.trimmed();
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

qsizetype indexIgnoringCase(const QStringList& list, const QString& name) {
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString entryOrFirst(const QStringList& list, const QString& name) {
    const qsizetype i = indexIgnoringCase(list, name);
    return list.value(i < 0 ? 0 : i);
}

// The range a number setting takes: its own, within what its field holds.
std::pair<int, int> numberRange(const AdvancedSetting& setting) {
    if (std::holds_alternative<qint16 Settings::*>(setting.field))
        return {std::max(setting.minimum, -32768), std::min(setting.maximum, 32767)};
    return {setting.minimum, setting.maximum};
}

} // namespace

OptionsEditor::OptionsEditor(Settings& settings, const ProgramPaths& paths, Prompt& prompt,
                             OptionsHooks hooks)
    : settings_(settings), paths_(paths), prompt_(prompt), hooks_(std::move(hooks)) {}

QString OptionsEditor::resolved(const QString& path) const {
    return paths_.resolve(path.trimmed());
}

void OptionsEditor::info(const QString& text) {
    prompt_.inform(text, kTitle);
}

bool OptionsEditor::askContinue(const QString& what) {
    return prompt_.question(what + kCrLf + QStringLiteral("Do you wish to continue anyway?"),
                            kTitle) == PromptAnswer::Yes;
}

void OptionsEditor::Load(const QStringList& characterList) {
    const Settings& s = settings_;
    OptionsValues& v = values_;
    v.MyName = s.MyName;
    v.ParaPause = s.ParagraphPause;
    v.PortNo = QString::number(s.Port);
    v.UseAgent = s.UseAgent;
    v.CPath = s.CharPath;
    v.UseAssis = s.UseAssistant;
    v.OfficePath = s.OfficePath;
    v.CheckEmail = s.CheckEmail;
    v.CheckStartup = s.CheckStartup;
    v.SpeakSubject = s.SpeakSubject;
    v.ProcTalk = s.ProcTalk;
    v.HideAfterEmail = s.HideAfterEmail;
    v.EmailSepWin = s.EmailSeperateWindows;
    v.EmailAnnWave = s.EmailAnnWave;
    v.WaveFN = s.WaveFilename;
    v.CacheAcc = s.CacheAcc;
    v.CacheEmail = s.CacheEmail;
    // The main window lists "[None]" last; the dialog offers it first.
    v.characters = QStringList{kNone};
    for (const QString& name : characterList) {
        if (name.compare(kNone, Qt::CaseInsensitive) != 0)
            v.characters << name;
    }
    v.DChar = entryOrFirst(v.characters, s.DefaultChar);
    v.ReadChar = entryOrFirst(v.characters, s.TheReadChar);
    v.advanced.clear();
    for (const AdvancedSetting& setting : advancedSettings())
        v.advanced.insert(QLatin1String(setting.key), advancedText(s, setting));
    before_ = {s.CharPath, s.OfficePath, s.DefaultChar, characterList, false};
    closed_ = false;
    if (hooks_.pauseCheckTimer)
        hooks_.pauseCheckTimer();
}

void OptionsEditor::Rescan() {
    OptionsValues& v = values_;
    QStringList agents;
    QStringList assistants;
    if (!v.CPath.trimmed().isEmpty() && v.UseAgent) {
        v.CPath = folderText(v.CPath);
        agents = characterNames(resolved(v.CPath), CharacterKind::Agent);
        if (!agents.isEmpty())
            settings_.CharPath = resolved(v.CPath);
        else if (!askContinue(kNoAgents))
            return;
    }
    if (!v.OfficePath.trimmed().isEmpty() && v.UseAssis) {
        v.OfficePath = folderText(v.OfficePath);
        assistants = characterNames(resolved(v.OfficePath), CharacterKind::Assistant);
        if (!assistants.isEmpty())
            settings_.OfficePath = resolved(v.OfficePath);
        else if (!askContinue(kNoAssistants))
            return;
    }
    const QString oldReadChar = v.ReadChar;
    v.characters = QStringList{kNone} + agents + assistants;
    // The main window keeps its own order: the characters, then "[None]".
    if (hooks_.characterListChanged)
        hooks_.characterListChanged(agents + assistants + QStringList{kNone});
    before_.listChanged = true;
    selectAfterRescan(oldReadChar, indexIgnoringCase(v.characters, settings_.DefaultChar));
}

void OptionsEditor::selectAfterRescan(const QString& oldReadChar, qsizetype remembered) {
    values_.DChar = values_.characters.value(remembered < 0 ? 0 : remembered);
    values_.ReadChar = entryOrFirst(values_.characters, oldReadChar);
    DCharChanged();
}

// Whether the chosen default character can be used. Characters are only
// looked for while Agent characters are in use; an assistant is looked for
// among the assistants, not as an Agent file.
bool OptionsEditor::characterExists(const QString& name) const {
    if (!values_.UseAgent || name.compare(kNone, Qt::CaseInsensitive) == 0)
        return true;
    Settings folders;
    folders.CharPath = resolved(values_.CPath);
    folders.OfficePath = resolved(values_.OfficePath);
    if (name.isEmpty())
        return false;
    if (characterKind(name) == CharacterKind::Assistant)
        return values_.UseAssis && !assistantFile(folders, name).isEmpty();
    return !agentFile(folders, name).isEmpty();
}

void OptionsEditor::DCharChanged() {
    if (characterExists(values_.DChar)) {
        settings_.DefaultChar = values_.DChar;
        return;
    }
    info(QStringLiteral("Can't find the default character - setting new one"));
    values_.DChar = values_.characters.value(0);
}

void OptionsEditor::browse(BrowseTarget target) {
    FileQuestion question{FileDialogKind::Open, {}, {}, {}};
    switch (target) {
    case BrowseTarget::Agent:
        question = {FileDialogKind::Open, QStringLiteral("Specify an Agent character file"),
                    QStringLiteral("Agent (*.acs)|*.acs"), QStringLiteral("acs")};
        break;
    case BrowseTarget::Assistant:
        question = {FileDialogKind::Open,
                    QStringLiteral("Specify an Office Assistant character file"),
                    QStringLiteral("Assistant (*.act)|*.act"), QStringLiteral("act")};
        break;
    case BrowseTarget::Wave:
        question = {FileDialogKind::Open, QStringLiteral("Specify a Wave sound file"),
                    QStringLiteral("Wave (*.wav)|*.wav"), QStringLiteral("wav")};
        break;
    }
    const QString path = prompt_.chooseFile(question);
    if (path.isEmpty())
        return;
    if (target == BrowseTarget::Wave) {
        if (QFileInfo(path).isFile())
            values_.WaveFN = path;
        return;
    }
    // The folder of the chosen character is the setting; its list follows.
    const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
    (target == BrowseTarget::Agent ? values_.CPath : values_.OfficePath) = folder;
    Rescan();
}

void OptionsEditor::browseAdvanced(const QString& key) {
    for (const AdvancedSetting& setting : advancedSettings()) {
        if (key != QLatin1String(setting.key) || !setting.browseTitle)
            continue;
        const QString path = prompt_.chooseFile(
            {FileDialogKind::Open, QLatin1String(setting.browseTitle),
             QLatin1String(setting.browseFilter ? setting.browseFilter : ""), QString()});
        if (!path.isEmpty())
            values_.advanced[key] = path;
    }
}

void OptionsEditor::testWave() {
    const QString path = resolved(values_.WaveFN);
    if (path.isEmpty() || !hooks_.playWave)
        return;
    if (!hooks_.playWave(path))
        info(QStringLiteral("Sorry - the wave file could not be played: ") + path);
}

bool OptionsEditor::checkPort(int& port) {
    bool ok = false;
    port = values_.PortNo.trimmed().toInt(&ok);
    // The reply port is Port + 1, and both are 16-bit signed numbers.
    if (ok && port >= 0 && port <= 32766)
        return true;
    info(QStringLiteral("The port must be 0 (off) or a number from 1 to 32766."));
    return false;
}

bool OptionsEditor::checkAdvanced() {
    using Check = AdvancedSetting::Check;
    for (const AdvancedSetting& setting : advancedSettings()) {
        const QString caption = QLatin1String(setting.caption);
        const QString text = values_.advanced.value(QLatin1String(setting.key)).trimmed();
        if (std::holds_alternative<bool Settings::*>(setting.field))
            continue;
        if (!std::holds_alternative<QString Settings::*>(setting.field)) {
            const auto [low, high] = numberRange(setting);
            bool ok = false;
            const int n = text.toInt(&ok);
            if (ok && n >= low && n <= high)
                continue;
            info(caption + QStringLiteral(" must be a number from %1 to %2.").arg(low).arg(high));
            return false;
        }
        if (text.isEmpty())
            continue;
        QString problem;
        if (setting.check == Check::IpAddress && QHostAddress(text).isNull())
            problem = QStringLiteral(" must be empty or an IP address of this computer, such as "
                                     "192.168.1.20.");
        else if (setting.check == Check::ExistingFile && !QFileInfo(resolved(text)).isFile())
            problem = QStringLiteral(": there is no file ") + text + QLatin1Char('.');
        else if (setting.check == Check::Choice &&
                 !advancedChoices(setting).contains(text.toLower()))
            problem = QStringLiteral(" must be one of: ") +
                      advancedChoices(setting).join(QStringLiteral(", ")) + QLatin1Char('.');
        else if (setting.check == Check::WebAddress) {
            const QUrl url(text, QUrl::StrictMode);
            if (!url.isValid() || url.host().isEmpty() ||
                (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
                problem = QStringLiteral(" must be empty or a web address beginning with http:// "
                                         "or https://.");
        }
        if (!problem.isEmpty()) {
            info(caption + problem);
            return false;
        }
    }
    return true;
}

// The default character must exist, and the folders in use must hold
// characters, or the user says to go on regardless.
bool OptionsEditor::checkCharacters(bool& chooseFirst) {
    OptionsValues& v = values_;
    chooseFirst = false;
    if (!characterExists(v.DChar) || v.DChar.isEmpty() ||
        (v.UseAgent && characterKind(v.DChar) == CharacterKind::None)) {
        if (characterNames(resolved(v.CPath), CharacterKind::Agent).isEmpty() &&
            !askContinue(kNoAgents))
            return false;
        chooseFirst = true;
    }
    if (v.UseAssis && characterNames(resolved(v.OfficePath), CharacterKind::Assistant).isEmpty() &&
        !askContinue(kNoAssistants))
        return false;
    return true;
}

bool OptionsEditor::writeKeys(int port) {
    const OptionsValues& v = values_;
    // The order in which the keys first appear in a new file.
    const QList<std::pair<const char*, QString>> keys = {
        {"MyName", v.MyName},
        {"SpeakSubject", flagText(v.SpeakSubject)},
        {"ProcTalk", flagText(v.ProcTalk)},
        {"HideAfterEmail", flagText(v.HideAfterEmail)},
        {"CharPath", folderText(v.CPath)},
        {"DefaultChar", v.DChar},
        {"TheReadChar", v.ReadChar},
        {"ParagraphPause", flagText(v.ParaPause)},
        {"OfficePath", folderText(v.OfficePath)},
        {"Port", QString::number(port)},
        {"UseAssistant", flagText(v.UseAssis)},
        {"UseAgent", flagText(v.UseAgent)},
        {"CheckStartup", flagText(v.CheckStartup)},
        {"CheckEmail", flagText(v.CheckEmail)},
        {"EmailSeperateWindows", flagText(v.EmailSepWin)},
        {"EmailAnnWave", flagText(v.EmailAnnWave)},
        {"WaveFilename", v.WaveFN},
        {"CacheAcc", flagText(v.CacheAcc)},
        {"CacheEmail", flagText(v.CacheEmail)},
    };
    // Each file is rewritten once, with all of its keys or none of them.
    IniBatch user(settings_.UserFile);
    std::optional<IniBatch> shared;
    if (settings_.SharedFile != settings_.UserFile)
        shared.emplace(settings_.SharedFile);
    auto write = [&](const char* name, const QString& value) {
        const SettingKey& key = settingKey(QLatin1String(name));
        IniBatch& batch = key.file == SettingsFileKind::Shared && shared ? *shared : user;
        batch.write(QLatin1String(key.name), value);
    };
    for (const auto& [name, value] : keys)
        write(name, value);
    for (const AdvancedSetting& setting : advancedSettings())
        write(setting.key, v.advanced.value(QLatin1String(setting.key)).trimmed());
    for (auto [batch, file] : {std::pair{shared ? &*shared : nullptr, settings_.SharedFile},
                               std::pair{&user, settings_.UserFile}}) {
        if (batch && !batch->commit()) {
            info(QStringLiteral("Sorry - the settings could not be saved in ") + file +
                 QLatin1Char('.'));
            return false;
        }
    }
    return true;
}

void OptionsEditor::applyValues(int port) {
    const OptionsValues& v = values_;
    Settings& s = settings_;
    // An empty name stands for the login name, as at start-up.
    s.MyName = v.MyName.trimmed().isEmpty() ? loginName() : v.MyName.trimmed();
    s.SpeakSubject = v.SpeakSubject;
    s.ProcTalk = v.ProcTalk;
    s.HideAfterEmail = v.HideAfterEmail;
    s.CharPath = resolved(folderText(v.CPath));
    s.DefaultChar = v.DChar;
    s.TheReadChar = v.ReadChar;
    s.ParagraphPause = v.ParaPause;
    s.OfficePath = resolved(folderText(v.OfficePath));
    s.UseAssistant = v.UseAssis;
    s.UseAgent = v.UseAgent;
    s.CheckStartup = v.CheckStartup;
    s.CheckEmail = v.CheckEmail;
    s.EmailSeperateWindows = v.EmailSepWin;
    s.EmailAnnWave = v.EmailAnnWave;
    s.WaveFilename = v.WaveFN.trimmed();
    s.CacheAcc = v.CacheAcc;
    s.CacheEmail = v.CacheEmail;
    applyAdvanced();
    applyPort(port);
}

void OptionsEditor::applyAdvanced() {
    for (const AdvancedSetting& setting : advancedSettings()) {
        const QString text = values_.advanced.value(QLatin1String(setting.key)).trimmed();
        std::visit(
            [&](auto member) {
                auto& field = settings_.*member;
                using V = std::decay_t<decltype(field)>;
                if constexpr (std::is_same_v<V, QString>)
                    field = setting.check == AdvancedSetting::Check::ExistingFile ? resolved(text)
                            : setting.check == AdvancedSetting::Check::Choice     ? text.toLower()
                                                                                  : text;
                else if constexpr (std::is_same_v<V, bool>)
                    field = text == QLatin1String("1");
                else
                    field = V(text.toInt());
            },
            setting.field);
    }
}

// The sockets are bound once at start-up: a new port needs a restart, which
// is said whether messaging was on before or is only now switched on.
void OptionsEditor::applyPort(int port) {
    if (port != settings_.Port) {
        if (hooks_.closePeerSockets)
            hooks_.closePeerSockets();
        info(QStringLiteral("For Port setting to take effect, please restart Gabblet"));
    }
    settings_.Port = qint16(port);
}

bool OptionsEditor::OK() {
    int port = 0;
    bool chooseFirst = false;
    if (closed_ || !checkPort(port) || !checkAdvanced() || !checkCharacters(chooseFirst))
        return closed_;
    if (!writeKeys(port))
        return false;
    // The default character may be one the main window cannot show.
    if (chooseFirst && hooks_.selectFirstCharacter)
        hooks_.selectFirstCharacter();
    applyValues(port);
    closed_ = true;
    // Checking runs as the box says, but never while Disable is on.
    if (hooks_.restoreCheckTimer)
        hooks_.restoreCheckTimer(settings_.CheckEmail && !settings_.NoAction);
    if (hooks_.applied)
        hooks_.applied();
    return true;
}

void OptionsEditor::Cancel() {
    if (closed_)
        return;
    closed_ = true;
    settings_.CharPath = before_.CharPath;
    settings_.OfficePath = before_.OfficePath;
    settings_.DefaultChar = before_.DefaultChar;
    if (before_.listChanged && hooks_.characterListChanged)
        hooks_.characterListChanged(before_.characterList);
    if (hooks_.restoreCheckTimer)
        hooks_.restoreCheckTimer(std::nullopt);
}

} // namespace gabblet
