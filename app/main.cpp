#include "app/CTrackerApp.h"
#include "app/CommandLine.h"
#include "app/ExitSignals.h"
#include "platform/DevicePaths.h"
#include "platform/MessageHook.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // The help and the version need no display: they are answered before Qt
    // looks for one.
    CStartupOptions& options = StartupOptions();
    if (AsksForHelpOrVersion(args, options)) {
        if (options.m_bHelp)
            std::printf("%s\n%s", VELTRIP_USAGE, VELTRIP_HELP);
        else
            std::printf("veltrip %s\n", VELTRIP_VERSION);
        return 0;
    }

    // Without a display Qt would abort; say how to run it instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "veltrip: no display (DISPLAY and WAYLAND_DISPLAY are unset); "
                             "run it under a virtual one: xvfb-run -a %s\n", argv[0]);
        return 1;
    }

    // Without a home folder the card would be at the file system's root.
    if (const COutcome card = CheckStorageCard(); !card) {
        std::fprintf(stderr, "veltrip: %s\n", qPrintable(card.Message()));
        return 1;
    }

    // Qt takes its own options (-platform, -style, ...) out of argv.
    QApplication app(argc, argv);
    args.clear();
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString strError;
    if (!ParseCommandLine(args, options, strError)) {
        std::fprintf(stderr, "veltrip: %s\n%s\n", qPrintable(strError), VELTRIP_USAGE);
        return 2;
    }

    InstallExitSignals();
    // Qt ends the process with exit() when the display goes away (a virtual
    // one stopped first); the log still ends with its KML copy, reported on
    // stderr since no window can show a message any more.
    std::atexit([] {
        SetMessageHook({});
        ReportOutcome(theApp.m_recorder.EndLog());
    });
    if (theApp.InitInstance() && !ExitRequested())
        app.exec();
    return theApp.ExitInstance();
}
