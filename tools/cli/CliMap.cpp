#include "tools/cli/CliCommands.h"

#include "map/CMapBitmap.h"
#include "map/DibFile.h"
#include "platform/InputFile.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"

#include <QFile>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

const char MAP_USAGE[] = "usage: veltrip-cli map FILE.bmp [--png OUT.png]\n";

const char MAP_HELP[] =
    "\n"
    "Reads a map bitmap as the tracker does when it shows the map: the\n"
    "calibration from the file name (the first upper-case X starts it, for\n"
    "example X4G50M_5G0MY52G20M_52G25M.bmp; of a file under the storage card\n"
    "folder the path below it counts, of any other file the name alone), then\n"
    "the pixels. Prints:\n"
    "  calibration   longitude and latitude edges in degrees (9 significant\n"
    "                digits), or that the name carries none\n"
    "  bitmap        width, height, bit count and header size of the file\n"
    "  per pixel     degrees of longitude and latitude per bitmap pixel\n"
    "                (1 where the name gives no extent)\n"
    "\n"
    "options:\n"
    "  --png OUT.png   also write the decoded picture, upright, as a PNG\n"
    "  --help          show this text\n"
    "\n"
    "exit codes: 0 done, 1 FILE is no readable regular file, the bitmap\n"
    "cannot be loaded or the PNG not written (the loader's message goes to\n"
    "stderr), 2 bad arguments\n";

}

int CliMap(int argc, char** argv)
{
    const char* szPng = nullptr;
    const CliSyntax syntax{"map", MAP_USAGE, MAP_HELP, {CliText("--png", "OUT.png", szPng)}, {"FILE.bmp"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    const char* szFile = args[0];

    CMapBitmap map;
    map.m_path = QFile::decodeName(szFile);
    {
        CInputFile probe;
        if (probe.Open(map.m_path) != CInputFile::EOpen::Ok) {
            CliCannotRead("map", szFile, probe.Reason());
            return CLI_FAILED;
        }
    }
    if (map.ParseCalibration())
        std::printf("calibration: longitude %.9g to %.9g, latitude %.9g to %.9g\n",
                    map.m_lonMin, map.m_lonMax, map.m_latMin, map.m_latMax);
    else
        std::printf("calibration: none (the name has no upper-case X)\n");

    CDibInfo info;
    if (!CliShowMessage(map.LoadMapBitmap(&info)))
        return CLI_FAILED;
    std::printf("bitmap: width %u, height %u, bit count %u, header size %u%s\n", map.m_width,
                map.m_height, info.nBitCount, info.nHeaderSize, info.nHeight < 0 ? ", top-down rows" : "");
    std::printf("per pixel: longitude %.9g, latitude %.9g degrees\n", map.m_lonPerPixel, map.m_latPerPixel);
    if (szPng && !map.m_bitmap.save(QFile::decodeName(szPng), "PNG")) {
        std::fprintf(stderr, "veltrip-cli map: cannot write %s\n", EscapedText(szPng).c_str());
        return CLI_FAILED;
    }
    return CLI_OK;
}
