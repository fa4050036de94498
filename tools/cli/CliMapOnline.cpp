#include "tools/cli/CliCommands.h"

#include "map/OnlineMaps.h"
#include "map/OnlineSettings.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr size_t ONLINE_MAX_SUFFIX = 100;
constexpr int ONLINE_URL_NAME_DIGITS = 8;   // hex digits of the template's hash in its source's name

const char ONLINE_USAGE[] =
    "usage: veltrip-cli map-online --at LAT,LON [--source NAME | --url TEMPLATE] [--zoom Z] [--size PIXELS]\n"
    "                              [--dir DIR] [--cache DIR] [--user-agent-suffix TEXT] [--attribution TEXT]\n";

std::string OnlineHelp()
{
    std::string strSources;
    for (const CTileSource& source : TileSources())
        strSources += "                               " + source.m_strName.toStdString() + ": "
                      + source.m_strUrl.toStdString() + "\n";
    return "\n"
           "Makes the calibrated sheet around a position from a tile server's XYZ\n"
           "tiles, as the window's Load map does with online maps on, and prints its\n"
           "path. The sheet is SIZE by SIZE pixels, square on the ground at its\n"
           "centre and as fine as the tiles there, on a fixed grid, so positions close\n"
           "together share it; one already made is printed without asking the server.\n"
           "Tiles are cached as the server's headers say (at least 7 days), then asked\n"
           "for again; only the tiles under the sheet are fetched.\n"
           "\n"
           "options:\n"
           "  --at LAT,LON                 the position, in degrees (south and west negative)\n"
           "  --source NAME                a tile source, built in or of the settings'\n"
           "                               [OnlineSources] (default OpenStreetMap):\n"
           + strSources
           + "  --url TEMPLATE               a tile server of your own instead, with {z}, {x},\n"
             "                               {y} and optionally {s} (a, b or c)\n"
             "  --attribution TEXT           what the map view shows on sheets of --url\n"
             "  --zoom Z                     the tiles' zoom, 0 to 22 (default 16)\n"
             "  --size PIXELS                the sheet's side, 256 to 4096 (default 1024)\n"
             "  --dir DIR                    folder of the sheets (default\n"
             "                               $XDG_CACHE_HOME/veltrip/sheets)\n"
             "  --cache DIR                  folder of the tiles (default\n"
             "                               $XDG_CACHE_HOME/veltrip/tiles)\n"
             "  --user-agent-suffix TEXT     added to the User-Agent \"veltrip/VERSION (+URL)\"\n"
             "  --help                       show this text\n"
             "\n"
             "What goes to the server is each tile's address and the User-Agent.\n"
             "\n"
             "exit codes: 0 done, 1 the server or the network failed and the cache\n"
             "does not hold the tiles (the reason goes to stderr), 2 bad arguments\n";
}

CliOption AtOption(std::optional<std::pair<double, double>>& at)
{
    return {"--at", "LAT,LON", [&at](const char* szValue) {
                const char* pEnd = szValue + std::strlen(szValue);
                const char* pComma = std::strchr(szValue, ',');
                double dLat = 0;
                double dLon = 0;
                if (!pComma || !CliParseNumber(szValue, pComma, dLat) || !CliParseNumber(pComma + 1, pEnd, dLon)
                    || std::abs(dLat) > 90 || std::abs(dLon) > 180)
                    return std::string("--at takes LAT,LON in degrees (latitude -90 to 90, longitude -180 to 180)");
                at = {dLat, dLon};
                return std::string();
            }};
}

// What the server is told besides the address: printable ASCII only.
CliOption SuffixOption(const char*& szSuffix)
{
    return {"--user-agent-suffix", "TEXT", [&szSuffix](const char* szValue) {
                const size_t nLength = std::strlen(szValue);
                if (nLength > ONLINE_MAX_SUFFIX
                    || !std::all_of(szValue, szValue + nLength, [](char c) { return c >= 0x20 && c < 0x7f; }))
                    return std::string("--user-agent-suffix takes up to 100 printable ASCII characters");
                szSuffix = szValue;
                return std::string();
            }};
}

int OnlineUsage(const std::string& strProblem)
{
    std::fprintf(stderr, "veltrip-cli map-online: %s\n%s", strProblem.c_str(), ONLINE_USAGE);
    return CLI_USAGE;
}

// A source of the user's own template, named after it so that its tiles
// and sheets stay apart from every other template's.
CTileSource UrlSource(const char* szUrl, const char* szAttribution)
{
    CTileSource source;
    source.m_strUrl = QString::fromUtf8(szUrl);
    source.m_strName = QStringLiteral("url-")
                       + QString::fromLatin1(QCryptographicHash::hash(szUrl, QCryptographicHash::Sha1).toHex())
                             .left(ONLINE_URL_NAME_DIGITS);
    source.m_strAttribution = szAttribution ? QString::fromUtf8(szAttribution) : QString();
    source.m_nMaxZoom = ONLINE_MAX_ZOOM;
    return source;
}

}

int CliMapOnline(int argc, char** argv)
{
    std::optional<std::pair<double, double>> at;
    const char* szSource = nullptr;
    const char* szUrl = nullptr;
    const char* szAttribution = nullptr;
    const char* szDir = nullptr;
    const char* szCache = nullptr;
    const char* szSuffix = nullptr;
    std::optional<int> nZoom;
    std::optional<int> nSize;
    const CliSyntax syntax{"map-online", ONLINE_USAGE, OnlineHelp(),
                           {AtOption(at), CliText("--source", "NAME", szSource), CliText("--url", "TEMPLATE", szUrl),
                            CliText("--attribution", "TEXT", szAttribution),
                            CliInt("--zoom", "Z", 0, ONLINE_MAX_ZOOM, nZoom),
                            CliInt("--size", "PIXELS", ONLINE_MIN_SHEET, ONLINE_MAX_SHEET, nSize),
                            CliText("--dir", "DIR", szDir), CliText("--cache", "DIR", szCache),
                            SuffixOption(szSuffix)},
                           {}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    if (!at)
        return OnlineUsage("no --at LAT,LON given");
    if (szSource && szUrl)
        return OnlineUsage("--source and --url name two sources; give one");
    if (szUrl && !IsTileUrlTemplate(QString::fromUtf8(szUrl)))
        return OnlineUsage("--url takes an http or https address with {z}, {x} and {y}");
    if (szAttribution && !szUrl)
        return OnlineUsage("--attribution goes with --url; a built-in source has its own");

    COnlineSheetRequest request;
    if (szUrl) {
        request.m_source = UrlSource(szUrl, szAttribution);
    } else {
        // The built-in sources and the user's own rows of the settings.
        const std::vector<CTileSource> sources = LoadOnlineSettings().Sources();
        const CTileSource* pSource = szSource ? FindTileSource(sources, QString::fromUtf8(szSource)) : &sources.front();
        if (!pSource)
            return OnlineUsage(std::string("no tile source named ") + EscapedText(szSource));
        request.m_source = *pSource;
    }
    request.m_dLatitude = at->first;
    request.m_dLongitude = at->second;
    request.m_nZoom = nZoom.value_or(ONLINE_DEFAULT_ZOOM);
    request.m_nSheetPixels = nSize.value_or(ONLINE_DEFAULT_SHEET);
    request.m_strSheetDir = szDir ? QFile::decodeName(szDir) : QString();
    request.m_strCacheDir = szCache ? QFile::decodeName(szCache) : QString();
    request.m_strUserAgentSuffix = szSuffix ? QString::fromLatin1(szSuffix) : QString();

    // The network runs in this thread's event loop.
    int nQtArgc = 1;
    const QCoreApplication app(nQtArgc, argv);
    COutcome outcome;
    const std::unique_ptr<COnlineMaps> pMaps = NewOnlineMaps(outcome);
    QString strPath;
    if (pMaps)
        outcome = pMaps->MakeSheet(request, {}, strPath);
    if (!CliReport("map-online", outcome))
        return CLI_FAILED;
    std::printf("%s\n", EscapedText(strPath).c_str());
    return CLI_OK;
}
