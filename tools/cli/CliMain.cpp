#include "tools/cli/CliCommands.h"

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct CliCommand
{
    const char* szName;
    int (*pfnRun)(int argc, char** argv);
    const char* szSummary;
};

const CliCommand COMMANDS[] = {
    {"decode", CliDecode, "decode NMEA sentences and print the tracker record as JSON"},
    {"record", CliRecord, "replay an NMEA capture through the recorder into a GPD log"},
    {"convert", CliConvert, "convert a GPD, GPX or KML track to GPD, KML or GPX"},
    {"info", CliInfo, "summarise a track and its trip statistics"},
    {"map", CliMap, "show a map bitmap's calibration and decode it"},
    {"map-import", CliMapImport, "turn a GeoTIFF, MBTiles, OziExplorer or other map into calibrated bitmaps"},
    {"recover", CliRecover, "write the missing KML copies of unfinished logs"},
    {"render", CliRender, "paint one view into a PNG, as the display window shows it"},
    {"log", CliLog, "record from the receiver without a window"},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: veltrip-cli COMMAND [ARGS...]\n\ncommands:\n");
    for (const CliCommand& cmd : COMMANDS)
        std::fprintf(out, "  %-10s %s\n", cmd.szName, cmd.szSummary);
    std::fprintf(out, "\n'veltrip-cli COMMAND --help' explains a command.\n");
}

}

int main(int argc, char** argv)
{
    // A file-size limit is a failed write to report, not the end of the run.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc < 2) {
        PrintUsage(stderr);
        return CLI_USAGE;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(stdout);
        return CLI_OK;
    }
    for (const CliCommand& cmd : COMMANDS) {
        if (!std::strcmp(argv[1], cmd.szName))
            return cmd.pfnRun(argc - 1, argv + 1);
    }
    std::fprintf(stderr, "veltrip-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return CLI_USAGE;
}
