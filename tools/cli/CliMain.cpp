#include "tools/cli/CliCommands.h"

#include "platform/Module.h"
#include "platform/TemporaryFiles.h"
#include "platform/TextFormat.h"

#include <QString>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

using CliRun = int (*)(int argc, char** argv);

struct CliCommand
{
    const char* szName;
    CliRun pfnRun;              // null: szEntry of CLI_GUI_MODULE runs it
    const char* szEntry;
    const char* szSummary;
};

const CliCommand COMMANDS[] = {
    {"decode", CliDecode, nullptr, "decode NMEA sentences and print the tracker record as JSON"},
    {"record", CliRecord, nullptr, "replay an NMEA capture through the recorder into a GPD log"},
    {"convert", CliConvert, nullptr, "convert a GPD, GPX or KML track to GPD, KML or GPX"},
    {"info", CliInfo, nullptr, "summarise a track and its trip statistics"},
    {"map", nullptr, "CliMap", "show a map bitmap's calibration and decode it"},
    {"map-import", nullptr, "CliMapImport",
     "turn a GeoTIFF, MBTiles, OziExplorer or other map into calibrated bitmaps"},
    {"map-online", nullptr, "CliMapOnline", "make the calibrated sheet around a position from a tile server"},
    {"recover", CliRecover, nullptr, "write the missing KML copies of unfinished logs"},
    {"render", nullptr, "CliRender", "paint one view into a PNG, as the display window shows it"},
    {"log", CliLog, nullptr, "record from the receiver without a window"},
};

int RunFromModule(const CliCommand& cmd, int argc, char** argv)
{
    QString strError;
    const auto pfnRun = ModuleEntry<CliRun>(CLI_GUI_MODULE, cmd.szEntry, strError);
    if (!pfnRun) {
        std::fprintf(stderr, "veltrip-cli %s: cannot load %s: %s\n", cmd.szName, CLI_GUI_MODULE,
                     EscapedText(strError).c_str());
        return CLI_FAILED;
    }
    return pfnRun(argc, argv);
}

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
    // A command stopped halfway leaves no temporary beside the file it wrote.
    RemoveTemporariesOnStopSignals();
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
            return cmd.pfnRun ? cmd.pfnRun(argc - 1, argv + 1) : RunFromModule(cmd, argc - 1, argv + 1);
    }
    std::fprintf(stderr, "veltrip-cli: unknown command '%s'\n", EscapedText(argv[1]).c_str());
    PrintUsage(stderr);
    return CLI_USAGE;
}
