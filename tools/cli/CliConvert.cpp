#include "tools/cli/CliCommands.h"

#include "app/CTrackerApp.h"
#include "platform/MessageHook.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliTrackInput.h"
#include "track/GpdFile.h"
#include "track/GpxExport.h"
#include "track/KmlExport.h"

#include <QString>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int CONVERT_MAX_UTC = 12;   // as GPS Setup allows

const char CONVERT_USAGE[] = "usage: veltrip-cli convert [--kml-speed] [--utc H] IN OUT\n";

const char CONVERT_HELP[] =
    "\n"
    "Converts a track, GPD or by its extension GPX or KML, by the extension of\n"
    "OUT:\n"
    "  .gpd  GPD track with its record count (as File Save writes it)\n"
    "  .kml  KML 2.1 document (as the log's KML copy)\n"
    "  .gpx  GPX 1.1: placemarks as waypoints, one track segment per hour\n"
    "\n"
    "  --kml-speed  KML track height from the speed, not the altitude\n"
    "  --utc H      hours added to the UTC times of a GPX or KML track (default 1)\n"
    "\n"
    "Exit codes: 0 done, 1 unreadable or unknown input or failed write,\n"
    "2 bad arguments.\n";

}

int CliConvert(int argc, char** argv)
{
    bool bKmlSpeed = false;
    std::optional<int> nUtc;
    const CliSyntax syntax{"convert", CONVERT_USAGE, CONVERT_HELP,
                           {CliFlag("--kml-speed", bKmlSpeed), CliInt("--utc", "H", -CONVERT_MAX_UTC, CONVERT_MAX_UTC, nUtc)},
                           {"IN", "OUT"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (nUtc)
        theApp.m_nUtcCorrection = *nUtc;
    const QString strOut = QString::fromLocal8Bit(args[1]);
    const QString strSuffix = strOut.right(4).toLower();
    bool (*pfnWrite)(const QString&, const CTrackPointList&) = nullptr;
    if (strSuffix == QStringLiteral(".gpd"))
        pfnWrite = WriteGpdFile;
    else if (strSuffix == QStringLiteral(".gpx"))
        pfnWrite = WriteGpx;
    else if (strSuffix != QStringLiteral(".kml")) {
        std::fprintf(stderr, "veltrip-cli convert: OUT must end in .gpd, .kml or .gpx: %s\n",
                     args[1]);
        return CLI_USAGE;
    }

    CTrackPointList points;
    if (!LoadCliTrack("convert", args[0], points))
        return CLI_FAILED;
    // The KML writer reports a failed write but still counts the file as
    // written, so any message means the output is incomplete.
    int nMessages = 0;
    const MessageHook previous = SetMessageHook([&nMessages](const QString& strText) {
        ++nMessages;
        std::fprintf(stderr, "veltrip-cli convert: %s\n", qPrintable(strText));
    });
    const bool bWritten = pfnWrite ? pfnWrite(strOut, points) : WriteKml(strOut, points, bKmlSpeed);
    SetMessageHook(previous);
    return bWritten && nMessages == 0 ? CLI_OK : CLI_FAILED;
}
