#include "MenuCommands.h"

#include "app/AppOptions.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/SpeechServices.h"
#include "options/ui/AboutBox.h"
#include "options/ui/OptionsWindow.h"
#include "peer/ui/AliasWindow.h"
#include "peer/ui/ComposerFrame.h"
#include "platform/Cp1252.h"
#include "platform/Files.h"
#include "platform/ProgramPaths.h"
#include "platform/Prompt.h"
#include "platform/Version.h"
#include "speech/Reader.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSysInfo>
#include <QUrl>

#include <sys/stat.h>

#include <cstdio>

namespace gabblet {

namespace {
const QString kTextFilter = QStringLiteral("Text (*.txt)|*.txt|All Files (*.*)|*.*");
} // namespace

MenuCommands::MenuCommands(AppState& state, Prompt& prompt, const AppOptions& options,
                           MainWindow& window, ComposerFrame& composer, SpeechServices& speech)
    : state_(state), prompt_(prompt), options_(options), window_(window), composer_(composer),
      speech_(speech) {
    linkCommands();
    linkReading();
}

// The reader refers to the speech services, which outlive it.
MenuCommands::~MenuCommands() = default;

void MenuCommands::linkCommands() {
    MainWindow& w = window_;
    auto on = [this, &w](const char* name, auto&& slot) {
        connect(w.command(name), &QAction::triggered, this, slot);
    };
    on("MOpen", [this] { MOpen(); });
    on("MSave", [this] { MSave(); });
    on("MSaveAs", [this] { MSaveAs(); });
    on("MPreview", [this] { MPreview(); });
    on("ReadClipMenu", [this] { ReadClipboard(); });
    on("StopMenu", [this] { StopMenu(); });
    on("StopHide", [this] { StopHide(); });
    on("HelpContents", [this] { HelpContents(); });
    on("About", [this] { About(); });
    on("DoUpdate", [this] { DoUpdate(); });
    on("SetOptions", [this] { SetOptions(); });
    auto edit = [this, &w](const char* name, ComposerFrame::TextCommand command) {
        connect(w.command(name), &QAction::triggered, &composer_,
                [this, command] { composer_.runTextCommand(command); });
    };
    edit("MClear", ComposerFrame::TextCommand::Clear);
    edit("MCut", ComposerFrame::TextCommand::Cut);
    edit("MCopy", ComposerFrame::TextCommand::Copy);
    edit("MPaste", ComposerFrame::TextCommand::Paste);
    edit("MSelectAll", ComposerFrame::TextCommand::SelectAll);
    connect(&composer_, &ComposerFrame::readClipboardClicked, this, &MenuCommands::ReadClipboard);
    connect(&composer_, &ComposerFrame::stopClicked, this, &MenuCommands::StopAll);
    connect(&w, &MainWindow::aliasesRequested, this, &MenuCommands::DoAlias);
    // Drops anywhere on the window, and on the boxes that would otherwise
    // take the text in, are read aloud.
    w.acceptDropsOn(&w);
    for (QWidget* target : composer_.dropTargets())
        w.acceptDropsOn(target);
}

void MenuCommands::linkReading() {
    reader_ = std::make_unique<Reader>(state_.settings, state_.speech, speech_.speaker,
                                       speech_.host, speech_.none, prompt_);
    reader_->applyComposerVoice = [this] { composer_.applyVoiceToReading(); };
    connect(reader_.get(), &Reader::readingChanged, this, [this](bool reading) {
        composer_.setReadingAvailable(!reading);
        window_.command("ReadClipMenu")->setEnabled(!reading);
    });
    connect(&window_, &MainWindow::textDropped, reader_.get(), &Reader::readDroppedText);
    connect(&window_, &MainWindow::fileDropped, reader_.get(), &Reader::readDroppedFile);
    connect(&window_, &MainWindow::dropNotUnderstood, this,
            [this] { prompt_.inform(kNotTextMessage); });
}

void MenuCommands::DoAlias() {
    if (!aliasWindow_) {
        aliasWindow_ = new AliasWindow(state_.aliases, prompt_,
                                       state_.paths.userFile(QStringLiteral("alias.lst")), &window_,
                                       &state_.blocked);
        connect(aliasWindow_, &AliasWindow::aliasesChanged, this,
                [this] { composer_.refreshAliases(state_.aliases); });
    }
    aliasWindow_->refresh();
    aliasWindow_->exec();
}

// Modal, but without a nested event loop of its own: the window answers
// OK or Cancel through its own signals, and scripts can drive it.
void MenuCommands::SetOptions() {
    if (optionsWindow_) {
        optionsWindow_->raise();
        optionsWindow_->activateWindow();
        return;
    }
    auto editor =
        std::make_unique<OptionsEditor>(state_.settings, state_.paths, prompt_, optionsHooks);
    optionsWindow_ = new OptionsWindow(std::move(editor), state_.CharacterList, &window_);
    optionsWindow_->setAttribute(Qt::WA_DeleteOnClose);
    optionsWindow_->setWindowModality(Qt::ApplicationModal);
    optionsWindow_->show();
}

void MenuCommands::MOpen() {
    const QString path =
        prompt_.chooseFile({FileDialogKind::Open, QStringLiteral("Text file to load into Body"),
                            kTextFilter, QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    std::optional<QString> text = readPlainTextFile(path);
    if (!text) {
        prompt_.inform(kNotTextMessage);
        return;
    }
    text->replace(QLatin1String("\r\n"), QLatin1String("\n"));
    composer_.setText(*text);
    bodyFile_ = path;
}

void MenuCommands::MSave() {
    if (bodyFile_.isEmpty())
        MSaveAs();
    else
        saveBody(bodyFile_);
}

void MenuCommands::MSaveAs() {
    const QString path = prompt_.chooseFile(
        {FileDialogKind::Save, QStringLiteral("Save Body As"), kTextFilter, QStringLiteral("txt")});
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        prompt_.question(QStringLiteral("File Exists - Overwrite?")) != PromptAnswer::Yes)
        return;
    if (saveBody(path))
        bodyFile_ = path;
}

// Windows-1252 like every other text file of the program, unless the text
// holds characters that code page lacks: then UTF-8, so nothing is lost.
bool MenuCommands::saveBody(const QString& path) {
    const QString text = composer_.text().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QByteArray bytes = cp1252::encode(text);
    if (cp1252::decode(bytes) != text)
        bytes = text.toUtf8();
    // A file written over keeps its permissions.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        mode = st.st_mode & 07777;
    if (QFileInfo(path).isDir() || !writeFileAtomically(path, bytes, mode)) {
        prompt_.inform(QStringLiteral("Sorry - the message could not be saved in ") +
                           QDir::toNativeSeparators(path) + QLatin1Char('.'),
                       QStringLiteral("Gabblet"), PromptIcon::Exclamation);
        return false;
    }
    return true;
}

void MenuCommands::MPreview() {
    const bool shown = !composer_.previewShown();
    composer_.setPreviewShown(shown);
    window_.command("MPreview")->setChecked(shown);
}

void MenuCommands::ReadClipboard() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    reader_->ReadClipboard(clipboard ? clipboard->text() : QString());
}

void MenuCommands::StopAll() {
    speech_.speaker.StopAll();
}

void MenuCommands::StopMenu() {
    StopAll();
}

void MenuCommands::StopHide() {
    StopAll();
    const QString& current = state_.speech.CurrentCharacter;
    if (!current.isEmpty() && speech_.host.isLoaded(current))
        speech_.host.hide(current);
    if (speech_.none.isVisible())
        speech_.none.Animation(QStringLiteral("hide"));
}

QString MenuCommands::helpFile() {
    // Found the way the bundled characters are: installed, then beside the program.
    for (const QString& data : ProgramPaths::dataFolders()) {
        const QString candidate = data + QStringLiteral("help/index.html");
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void MenuCommands::HelpContents() {
    const QString file = helpFile();
    if (file.isEmpty()) {
        prompt_.inform(QStringLiteral("The help file could not be found. It belongs in ") +
                           QCoreApplication::applicationDirPath() +
                           QStringLiteral("/help/index.html."),
                       QStringLiteral("Gabblet"), PromptIcon::Exclamation);
        return;
    }
    bool opened = false;
    if (openHelp) {
        opened = openHelp(file);
    } else if (options_.nonInteractive) {
        // Scripts see which page would open; no browser starts.
        std::fprintf(stderr, "gabblet: help: %s\n", qUtf8Printable(file));
        opened = true;
    } else {
        opened = QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    }
    if (!opened)
        prompt_.inform(QStringLiteral("No web browser could be started to show the help. The "
                                      "help file is ") +
                           file + QLatin1Char('.'),
                       QStringLiteral("Gabblet"), PromptIcon::Exclamation);
}

void MenuCommands::About() {
    QString info;
    info += QStringLiteral("Gabblet ") + kVersionText + QLatin1Char('\n');
    info += QStringLiteral("System: ") + QSysInfo::prettyProductName() + QStringLiteral(", ") +
            QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion() +
            QLatin1Char('\n');
    info += QStringLiteral("Qt: ") + QString::fromLatin1(qVersion()) + QLatin1Char('\n');
    info += QStringLiteral("Program folder: ") + state_.paths.programDir() + QLatin1Char('\n');
    info += QStringLiteral("Characters: ") +
            (state_.settings.CharPath.isEmpty() ? QStringLiteral("none found")
                                                : state_.settings.CharPath) +
            QLatin1Char('\n');
    info += QStringLiteral("Sound output: ") +
            (speech_.sound.hasOutputDevice() ? QStringLiteral("yes") : QStringLiteral("none")) +
            QLatin1Char('\n');
    info +=
        QStringLiteral("Peer port: ") +
        (state_.settings.Port > 0 ? QString::number(state_.settings.Port) : QStringLiteral("off"));
    AboutBox box(prompt_, info, helpFile(), &window_);
    box.setWindowIcon(window_.windowIcon());
    box.exec();
}

// The updater gets: "m" when this window is minimised, the new program in
// the updater's folder, and this program followed by the greeting the
// restarted program speaks.
void MenuCommands::DoUpdate() {
    const QString updater = state_.settings.UpdateCommand;
    if (updater.isEmpty())
        return;
    // A relative updater is found below the program folder, as every other
    // relative name of the settings is.
    const QString share = QFileInfo(state_.paths.resolve(updater)).absolutePath();
    QStringList args;
    if (window_.isMinimized() || !window_.isVisible())
        args << QStringLiteral("m");
    args << share + QStringLiteral("/gabblet")
         << QCoreApplication::applicationFilePath() + QStringLiteral("!!Updated\\\\h");
    if (!QProcess::startDetached(updater, args, share))
        prompt_.inform(
            QStringLiteral("Sorry couldn't automatically update the program. Please tell Zarvo"));
    Q_EMIT endRequested();
}

} // namespace gabblet
