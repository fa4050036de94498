#include "tools/cli/CliCommands.h"

#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"
#include "tools/cli/CliTrackInput.h"
#include "track/TrackFormats.h"

#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

const char CONVERT_USAGE[] = "usage: veltrip-cli convert [--kml-speed] [--utc H] IN OUT\n";

const char CONVERT_HELP[] =
    "\n"
    "Converts a track, GPD or by its extension GPX or KML, by the extension of\n"
    "OUT:\n"
    "  .gpd  GPD track with its record count (as File Save writes it)\n"
    "  .kml  KML 2.1 document (as the log's KML copy)\n"
    "  .gpx  GPX 1.1: placemarks as waypoints, a track segment per segment,\n"
    "        the UTC <time> of every point that has a date\n"
    "\n"
    "  --kml-speed  KML track height from the speed, not the altitude\n"
    "  --utc H      hours added to the UTC times of a GPX or KML track, and the\n"
    "               hours a GPD log's local times are ahead of UTC (default 1)\n"
    "\n"
    "A GPD log named GPSLog_YYYY-MM-DD_HHMM dates its points from that local\n"
    "time on, a day later whenever the time of day goes back by more than 12\n"
    "hours. Points off the globe or with a value no float holds (a GPD record\n"
    "also when all its values are zero) are left out and counted\n"
    "(\"skipped points: N\").\n"
    "\n"
    "Exit codes: 0 done, 1 unreadable or unknown input or failed write,\n"
    "2 bad arguments.\n";

}

int CliConvert(int argc, char** argv)
{
    bool bKmlSpeed = false;
    std::optional<int> nUtc;
    const CliSyntax syntax{"convert", CONVERT_USAGE, CONVERT_HELP,
                           {CliFlag("--kml-speed", bKmlSpeed), CliInt("--utc", "H", SETTINGS_UTC_MIN, SETTINGS_UTC_MAX, nUtc)},
                           {"IN", "OUT"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    const QString strOut = QString::fromLocal8Bit(args[1]);
    const CTrackFormat* pFormat = FindTrackFormat(strOut);
    if (!pFormat) {
        std::fprintf(stderr, "veltrip-cli convert: OUT must end in .gpd, .kml or .gpx: %s\n",
                     EscapedText(args[1]).c_str());
        return CLI_USAGE;
    }

    CTrackPointList points;
    size_t nSkipped = 0;
    if (!LoadCliTrack("convert", args[0], nUtc ? *nUtc : CTrackerSettings().m_nUtcCorrection, points, nSkipped))
        return CLI_FAILED;
    if (!CliReport("convert", pFormat->pfnWrite(strOut, points, bKmlSpeed)))
        return CLI_FAILED;
    // Quiet on success, but a shorter track than the input must be said.
    if (nSkipped)
        std::printf("skipped points: %zu\n", nSkipped);
    return CLI_OK;
}
