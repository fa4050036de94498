#include "tools/cli/CliCommands.h"

#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"
#include "tools/cli/CliTrackInput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double INFO_EARTH_RADIUS_KM = 6371.0088;   // mean radius
constexpr double INFO_DEG_TO_RAD = 3.14159265358979323846 / 180.0;
constexpr double INFO_KMH_PER_KNOT = 1.852;

const char INFO_USAGE[] = "usage: veltrip-cli info IN.gpd\n";

const char INFO_HELP[] =
    "\n"
    "Prints the number of points and placemarks (with their names, escaped as\n"
    "decode escapes text), the first and last time, the bounding box, the\n"
    "great-circle length in km and the maximum speed of a GPD track.\n"
    "\n"
    "Exit codes: 0 done, 1 unreadable or non-GPD input, 2 bad arguments.\n";

double GreatCircleKm(const CTrackPoint& a, const CTrackPoint& b)
{
    const double dLat1 = a.m_fLatitude * INFO_DEG_TO_RAD;
    const double dLat2 = b.m_fLatitude * INFO_DEG_TO_RAD;
    const double dSinLat = std::sin((dLat2 - dLat1) / 2);
    const double dSinLon = std::sin((double(b.m_fLongitude) - a.m_fLongitude) * INFO_DEG_TO_RAD / 2);
    const double h = dSinLat * dSinLat + std::cos(dLat1) * std::cos(dLat2) * dSinLon * dSinLon;
    return 2 * INFO_EARTH_RADIUS_KM * std::asin(std::sqrt(std::min(1.0, h)));
}

void PrintTime(const char* pszLabel, const CTrackPoint& point)
{
    std::printf("%s %02d:%02d:%02d\n", pszLabel, point.m_byHour, point.m_byMinute, point.m_bySecond);
}

}

int CliInfo(int argc, char** argv)
{
    const CliSyntax syntax{"info", INFO_USAGE, INFO_HELP, {}, {"IN.gpd"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    CTrackPointList points;
    if (!LoadCliTrack("info", args[0], points))
        return CLI_FAILED;

    size_t nPlacemarks = 0;
    for (const CTrackPoint& point : points)
        nPlacemarks += point.m_strName.isEmpty() ? 0 : 1;
    std::printf("points: %zu\nplacemarks: %zu\n", points.size(), nPlacemarks);
    // A name is bytes from the file: escaped, it cannot act on the terminal.
    std::string strLine;
    for (const CTrackPoint& point : points) {
        if (point.m_strName.isEmpty())
            continue;
        const QByteArray name = point.m_strName.toLatin1();
        strLine = "  ";
        AppendEscapedText(strLine, name.constData(), size_t(name.size()));
        std::printf("%s\n", strLine.c_str());
    }
    if (points.empty())
        return CLI_OK;

    PrintTime("first time:", points.front());
    PrintTime("last time: ", points.back());
    float fSouth = points.front().m_fLatitude;
    float fNorth = fSouth;
    float fWest = points.front().m_fLongitude;
    float fEast = fWest;
    float fMaxSpeed = points.front().m_fSpeed;
    double dLengthKm = 0;
    for (auto it = points.begin(); it != points.end(); ++it) {
        fSouth = std::min(fSouth, it->m_fLatitude);
        fNorth = std::max(fNorth, it->m_fLatitude);
        fWest = std::min(fWest, it->m_fLongitude);
        fEast = std::max(fEast, it->m_fLongitude);
        fMaxSpeed = std::max(fMaxSpeed, it->m_fSpeed);
        if (it != points.begin())
            dLengthKm += GreatCircleKm(*std::prev(it), *it);
    }
    std::printf("latitude: %f .. %f\nlongitude: %f .. %f\n", double(fSouth), double(fNorth),
                double(fWest), double(fEast));
    std::printf("length: %.3f km\n", dLengthKm);
    std::printf("max speed: %.2f knots = %.2f km/h\n", double(fMaxSpeed),
                fMaxSpeed * INFO_KMH_PER_KNOT);
    return CLI_OK;
}
