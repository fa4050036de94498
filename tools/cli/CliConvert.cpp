#include "tools/cli/CliCommands.h"

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

const char CONVERT_USAGE[] = "usage: veltrip-cli convert [--kml-speed] IN.gpd OUT\n";

const char CONVERT_HELP[] =
    "\n"
    "Converts a GPD track by the extension of OUT:\n"
    "  .gpd  GPD track with its record count (as File Save writes it)\n"
    "  .kml  KML 2.1 document (as the log's KML copy)\n"
    "  .gpx  GPX 1.1: placemarks as waypoints, one track segment per hour\n"
    "\n"
    "  --kml-speed  KML track height from the speed, not the altitude\n"
    "\n"
    "Exit codes: 0 done, 1 unreadable or non-GPD input or failed write,\n"
    "2 bad arguments.\n";

}

int CliConvert(int argc, char** argv)
{
    bool bKmlSpeed = false;
    const CliSyntax syntax{"convert", CONVERT_USAGE, CONVERT_HELP, {CliFlag("--kml-speed", bKmlSpeed)},
                           {"IN.gpd", "OUT"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
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
