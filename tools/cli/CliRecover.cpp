#include "tools/cli/CliCommands.h"

#include "platform/DevicePaths.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"
#include "track/LogRecovery.h"

#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

const char RECOVER_USAGE[] = "usage: veltrip-cli recover [--kml-speed] [DIR]\n";

const char RECOVER_HELP[] =
    "\n"
    "A log that ended by a crash or a power loss has no KML copy. Writes the\n"
    "missing copy of every GPSLog_*.gpd in DIR (default: the storage card's\n"
    "GPS folder) from its whole records, as veltrip does at start-up, and\n"
    "prints the path of each KML file written. Records that no fix can be (a\n"
    "value that is no number, a position off the globe, all values zero) are\n"
    "left out and counted (\"skipped points: N\"). A copy is written as its\n"
    "log is read, whatever the log's size. A link, a folder or a pipe where a\n"
    "copy would go is left alone and named.\n"
    "\n"
    "  --kml-speed  KML track height from the speed, not the altitude\n"
    "\n"
    "Exit codes: 0 done, 1 a log that could not be read or a KML copy that\n"
    "could not be written or was left alone, no home folder for the default\n"
    "DIR, 2 bad arguments.\n";

}

int CliRecover(int argc, char** argv)
{
    bool bKmlSpeed = false;
    const CliSyntax syntax{"recover", RECOVER_USAGE, RECOVER_HELP, {CliFlag("--kml-speed", bKmlSpeed)},
                           {"[DIR]"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (args.empty() && !CliReport("recover", CheckStorageCard()))
        return CLI_FAILED;
    const QString strFolder = args.empty() ? GPS_FOLDER : QString::fromLocal8Bit(args[0]);

    const CLogRecovery recovery = RecoverUnfinishedLogs(strFolder, bKmlSpeed);
    for (const QString& strFailure : recovery.m_failed)
        std::fprintf(stderr, "veltrip-cli recover: %s\n", EscapedText(strFailure).c_str());
    for (const QString& strPath : recovery.m_written)
        std::printf("%s\n", EscapedText(HostPath(strPath)).c_str());
    for (const QString& strPath : recovery.m_skipped)
        std::fprintf(stderr, "veltrip-cli recover: %s is not a GPD track file\n",
                     EscapedText(HostPath(strPath)).c_str());
    // Quiet unless the copies hold fewer points than the logs have records.
    if (recovery.m_nSkippedPoints)
        std::printf("skipped points: %zu\n", recovery.m_nSkippedPoints);
    return recovery.m_failed.isEmpty() && recovery.m_skipped.isEmpty() ? CLI_OK : CLI_FAILED;
}
