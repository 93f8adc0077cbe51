#include "app/AppIcon.h"
#include "app/AppOptions.h"
#include "app/AppState.h"
#include "app/CommandLine.h"
#include "app/ScriptDriver.h"
#include "app/SignalBridge.h"
#include "app/Startup.h"
#include "platform/ProgramPaths.h"
#include "platform/Version.h"
#include "platform/desktop/DesktopPrompt.h"

#include <QApplication>

#include <cstdio>
#include <memory>

using namespace gabblet;

int main(int argc, char** argv) {
    // The environment is read here, once; everything else is handed what it needs.
    const AppOptions options = AppOptions::fromEnvironment();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CommandLine commandLine;
    QString error;
    switch (parseArguments(arguments, commandLine, error)) {
    case CliAction::Help:
        std::fputs(qUtf8Printable(usageText()), stdout);
        return 0;
    case CliAction::Version:
        std::printf("Gabblet %s\n", qUtf8Printable(kVersionText));
        return 0;
    case CliAction::Error:
        std::fprintf(stderr, "gabblet: %s\n%s", qUtf8Printable(error), qUtf8Printable(usageText()));
        return 2;
    case CliAction::Run:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("gabblet"));
    QApplication::setApplicationDisplayName(QStringLiteral("Gabblet"));
    // The desktop matches windows to the installed menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.gabblet.Gabblet"));
    QApplication::setWindowIcon(appIcon());
    // The program lives on in the tray when its window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    AppState state;
    state.paths = ProgramPaths(ProgramPaths::defaultProgramDir(options.home));
    DesktopPrompt prompt(!options.nonInteractive);
    Startup controller(state, prompt, commandLine, options);
    QObject::connect(&controller, &Startup::programEnded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    SignalBridge signals_;
    QObject::connect(&signals_, &SignalBridge::terminationRequested, &controller,
                     [&controller] { controller.Form_Unload(false); });

    if (!controller.Form_Load())
        return controller.exitCode();
    // Scripts that drive the program wait for this line, then may send
    // commands on standard input.
    std::unique_ptr<ScriptDriver> driver;
    if (options.nonInteractive) {
        driver = std::make_unique<ScriptDriver>();
        QObject::connect(driver.get(), &ScriptDriver::quitRequested, &controller,
                         [&controller] { controller.Form_Unload(false); });
        std::fputs("gabblet: ready\n", stderr);
        std::fflush(stderr);
    }
    return app.exec();
}
