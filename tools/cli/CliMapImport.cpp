#include "tools/cli/CliCommands.h"

#include "map/MapImporter.h"
#include "platform/DevicePaths.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr double MAPIMPORT_MAX_RESOLUTION = 3600.0;   // one degree per pixel

const char IMPORT_USAGE[] =
    "usage: veltrip-cli map-import SOURCE [--dir DIR] [--bbox LON1,LAT1,LON2,LAT2] [--resolution LAT[,LON]]\n"
    "                              [--sheet PIXELS] [--max-sheets N] [--dry-run]\n";

const char IMPORT_HELP[] =
    "\n"
    "Turns a map that GDAL reads (GeoTIFF, GeoPDF, MBTiles, GeoPackage, an\n"
    "OziExplorer .map with its image, a BSB/KAP chart, an image with a world\n"
    "file) into 24-bit bitmaps calibrated by their names, which the map view\n"
    "shows: warped to WGS 84 longitude and latitude (bilinear), cut into\n"
    "overlapping sheets named STEM_ROW_COL_X..._...Y..._....bmp, where STEM is\n"
    "SOURCE's name. Palettes and grey become colour; transparent and no-data\n"
    "pixels become white.\n"
    "\n"
    "options:\n"
    "  --dir DIR                    folder of the sheets (made when missing), by\n"
    "                               default the storage card's GPS folder, where\n"
    "                               veltrip finds maps\n"
    "  --bbox LON1,LAT1,LON2,LAT2   only this area (degrees, west and south\n"
    "                               negative), cut to the map's footprint\n"
    "  --resolution LAT[,LON]       arc-seconds per pixel down and across (up to\n"
    "                               3600); by default the map's own at the centre\n"
    "                               of the area; without LON, pixels square on the\n"
    "                               ground there\n"
    "  --sheet PIXELS               largest sheet side, 256 to 8192 (default 4096)\n"
    "  --max-sheets N               refuse to make more sheets (default 64)\n"
    "  --dry-run                    print the sheets (name, pixels, edges) and\n"
    "                               write nothing\n"
    "  --help                       show this text\n"
    "\n"
    "The sheets are written whole or not at all. On a terminal one line shows\n"
    "the progress.\n"
    "\n"
    "exit codes: 0 done, 1 SOURCE is no georeferenced raster or a sheet cannot\n"
    "be written (the reason goes to stderr), 2 bad arguments\n";

CliOption BboxOption(std::optional<CGeoBox>& area)
{
    return {"--bbox", "LON1,LAT1,LON2,LAT2", [&area](const char* szValue) {
                double d[4] = {};
                const char* p = szValue;
                bool bOk = true;
                for (int i = 0; i < 4 && bOk; ++i) {
                    const char* pComma = i < 3 ? std::strchr(p, ',') : p + std::strlen(p);
                    bOk = pComma && CliParseNumber(p, pComma, d[i]);
                    p = pComma ? pComma + 1 : p;
                }
                bOk = bOk && std::abs(d[0]) <= 180 && std::abs(d[2]) <= 180 && std::abs(d[1]) <= 90
                      && std::abs(d[3]) <= 90 && d[0] != d[2] && d[1] != d[3];
                if (!bOk)
                    return std::string("--bbox takes four numbers LON1,LAT1,LON2,LAT2 (longitudes -180 to 180, "
                                       "latitudes -90 to 90) around an area that is not empty");
                area = CGeoBox {std::min(d[0], d[2]), std::min(d[1], d[3]), std::max(d[0], d[2]),
                                std::max(d[1], d[3])};
                return std::string();
            }};
}

CliOption ResolutionOption(CResolution& resolution)
{
    return {"--resolution", "LAT[,LON]", [&resolution](const char* szValue) {
                const char* pEnd = szValue + std::strlen(szValue);
                const char* pComma = std::strchr(szValue, ',');
                double d[2] = {};
                const bool bOk = CliParseNumber(szValue, pComma ? pComma : pEnd, d[0])
                                 && (!pComma || CliParseNumber(pComma + 1, pEnd, d[1]))
                                 && std::all_of(d, d + (pComma ? 2 : 1), [](double dValue) {
                                        return dValue > 0 && dValue <= MAPIMPORT_MAX_RESOLUTION;
                                    });
                if (!bOk)
                    return std::string("--resolution takes arc-seconds per pixel down, and across after a comma, "
                                       "each more than 0 and up to 3600");
                resolution = {d[0], d[1]};
                return std::string();
            }};
}

void PrintSheets(const CMapImporter& import)
{
    constexpr double DEG = MAPSHEET_SECONDS_PER_DEGREE;
    for (const CMapSheet& s : import.Sheets()) {
        std::printf("%s  %dx%d  longitude %.9g to %.9g, latitude %.9g to %.9g\n", EscapedText(s.m_strName).c_str(),
                    s.m_nWidth, s.m_nHeight, double(s.m_box.m_nWest) / DEG, double(s.m_box.m_nEast) / DEG,
                    double(s.m_box.m_nSouth) / DEG, double(s.m_box.m_nNorth) / DEG);
    }
    std::printf("%zu sheets, %lld bytes, %.6g by %.6g arc-seconds per pixel (latitude by longitude)\n",
                import.Sheets().size(), static_cast<long long>(import.TotalBytes()), import.Resolution().m_dLatitude,
                import.Resolution().m_dLongitude);
}

int Fail(const COutcome& outcome)
{
    CliReport("map-import", outcome);
    return CLI_FAILED;
}

}

int CliMapImport(int argc, char** argv)
{
    const char* szDir = nullptr;
    CMapImportRequest request;
    std::optional<int> nSheet;
    std::optional<int> nMaxSheets;
    bool bDryRun = false;
    const CliSyntax syntax{"map-import", IMPORT_USAGE, IMPORT_HELP,
                           {CliText("--dir", "DIR", szDir), BboxOption(request.m_area),
                            ResolutionOption(request.m_resolution),
                            CliInt("--sheet", "PIXELS", MAPIMPORT_MIN_SHEET, MAPIMPORT_MAX_SHEET, nSheet),
                            CliInt("--max-sheets", "N", 1, 1000000, nMaxSheets), CliFlag("--dry-run", bDryRun)},
                           {"SOURCE"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (!szDir && !CliReport("map-import", CheckStorageCard()))
        return CLI_FAILED;
    request.m_strSource = QFile::decodeName(args[0]);
    request.m_strDir = szDir ? QFile::decodeName(szDir) : HostPath(GPS_FOLDER);
    request.m_nSheetPixels = nSheet.value_or(MAPIMPORT_DEFAULT_SHEET);
    request.m_nMaxSheets = nMaxSheets.value_or(MAPIMPORT_DEFAULT_MAX_SHEETS);

    COutcome planned;
    const std::unique_ptr<CMapImporter> pImport = NewMapImporter(planned);
    if (planned)
        planned = pImport->Plan(request, {});
    if (!planned)
        return Fail(planned);
    CMapImporter& import = *pImport;
    if (bDryRun) {
        PrintSheets(import);
        return CLI_OK;
    }
    const bool bTerminal = isatty(STDOUT_FILENO) != 0;
    int nShown = -1;
    const COutcome outcome = import.Write([&](double dDone) {
        const int nPercent = int(dDone * 100);
        if (bTerminal && nPercent != nShown) {
            nShown = nPercent;
            std::printf("\rimporting %zu sheets: %3d%%", import.Sheets().size(), nPercent);
            std::fflush(stdout);
        }
        return true;
    });
    if (bTerminal)
        std::printf("\n");
    if (!outcome)
        return Fail(outcome);
    if (bTerminal)
        std::printf("%lld sheets in %s\n", static_cast<long long>(import.SheetPaths().size()),
                    EscapedText(request.m_strDir).c_str());
    return CLI_OK;
}
