#include "tools/cli/CliCommands.h"

#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"
#include "tools/cli/CliTrackInput.h"
#include "track/TripStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

const char INFO_USAGE[] = "usage: veltrip-cli info [--json] IN\n";

const char INFO_HELP[] =
    "\n"
    "Prints the number of points and placemarks (with their names, escaped as\n"
    "decode escapes text) and of segments, the first and last time, the\n"
    "bounding box, the great-circle length in km, the maximum speed, the\n"
    "moving time, distance and average speed, the ascent and descent and the\n"
    "altitude range of a track (GPD, or GPX or KML by the extension of IN).\n"
    "A segment is a GPX trkseg or rte, a KML LineString or gx:Track, a\n"
    "waypoint on its own, or a whole GPD file; lengths, times and climbs\n"
    "never join two segments. A pair of consecutive points of a segment is\n"
    "moving when it is 1 to 300 s apart and covers at least 0.5 m/s. A point\n"
    "without a speed of its own gets distance over time from the point before\n"
    "it. Ascent and descent count a change of altitude once it is more than\n"
    "5 m from the altitude the last counted change ended at. Last, the number\n"
    "of points left out because they lie off the globe or hold a value no\n"
    "float holds (a GPD record also when all its values are zero).\n"
    "\n"
    "  --json  one JSON object: points, placemarks, segments, distanceMeters,\n"
    "          movingSeconds, movingMeters, averageMovingKmh, maxSpeedKmh,\n"
    "          ascentMeters, descentMeters, skippedPoints, and for a track\n"
    "          with altitudes minAltitudeMeters, maxAltitudeMeters\n"
    "\n"
    "Exit codes: 0 done, 1 unreadable or unknown input, 2 bad arguments.\n";

// JSON has no NaN or infinity.
double JsonNumber(double dValue)
{
    return std::isfinite(dValue) ? dValue : 0.0;
}

void PrintJson(const CTripStats& stats, size_t nSkipped)
{
    std::printf("{\"points\": %zu, \"placemarks\": %zu, \"segments\": %zu, \"distanceMeters\": %.3f, "
                "\"movingSeconds\": %.0f, \"movingMeters\": %.3f, \"averageMovingKmh\": %.3f, "
                "\"maxSpeedKmh\": %.3f, \"ascentMeters\": %.3f, \"descentMeters\": %.3f, \"skippedPoints\": %zu",
                stats.m_nPoints, stats.m_nPlacemarks, stats.m_nSegments, JsonNumber(stats.m_dDistanceMeters),
                JsonNumber(stats.m_dMovingSeconds), JsonNumber(stats.m_dMovingMeters),
                JsonNumber(stats.m_dAverageMovingKmh), JsonNumber(stats.m_dMaxSpeedKmh),
                JsonNumber(stats.m_climbs.m_dAscentMeters), JsonNumber(stats.m_climbs.m_dDescentMeters), nSkipped);
    // Without altitudes there is no range: the keys are left out.
    if (stats.m_climbs.HasAltitudes())
        std::printf(", \"minAltitudeMeters\": %.3f, \"maxAltitudeMeters\": %.3f",
                    double(stats.m_climbs.m_fMinAltitude), double(stats.m_climbs.m_fMaxAltitude));
    std::printf("}\n");
}

void PrintTime(const char* pszLabel, const CTrackPoint& point)
{
    std::printf("%s %02d:%02d:%02d\n", pszLabel, point.m_byHour, point.m_byMinute, point.m_bySecond);
}

// The box around the points on the globe; a GPD file may hold others (its
// floats are copied as they are), and none at all prints no box.
struct CBox
{
    void Add(const CTrackPoint& point)
    {
        if (!IsOnGlobe(point.m_fLatitude, point.m_fLongitude))
            return;
        fSouth = std::min(fSouth.value_or(point.m_fLatitude), point.m_fLatitude);
        fNorth = std::max(fNorth.value_or(point.m_fLatitude), point.m_fLatitude);
        fWest = std::min(fWest.value_or(point.m_fLongitude), point.m_fLongitude);
        fEast = std::max(fEast.value_or(point.m_fLongitude), point.m_fLongitude);
    }
    void Print() const
    {
        if (fSouth)
            std::printf("latitude: %f .. %f\nlongitude: %f .. %f\n", double(*fSouth), double(*fNorth),
                        double(*fWest), double(*fEast));
    }

    std::optional<float> fSouth, fNorth, fWest, fEast;
};

// The report of a track read whole, line by line; the names and the box in
// one pass over a track of any length.
void PrintTrack(const CTrackPointList& points, const CTripStats& stats)
{
    std::printf("points: %zu\nplacemarks: %zu\n", points.size(), stats.m_nPlacemarks);
    CBox box;
    for (const CTrackPoint& point : points) {
        // A name is bytes from the file: escaped, it cannot act on the terminal.
        if (!point.m_strName.isEmpty())
            std::printf("  %s\n", EscapedText(point.m_strName).c_str());
        box.Add(point);
    }
    std::printf("segments: %zu\n", stats.m_nSegments);
    if (points.empty())
        return;

    PrintTime("first time:", points.front());
    PrintTime("last time: ", points.back());
    box.Print();
    std::printf("length: %.3f km\n", stats.m_dDistanceMeters / 1000);
    std::printf("max speed: %.2f knots = %.2f km/h\n", stats.m_dMaxSpeedKmh / UNIT_KMH_PER_KNOT,
                stats.m_dMaxSpeedKmh);
    // At most 300 s per pair of points: a GPD file of some millions of
    // points is more seconds than an int holds.
    const auto nMoving = static_cast<long long>(stats.m_dMovingSeconds);
    std::printf("moving time: %lld:%02lld:%02lld\n", nMoving / 3600, nMoving / 60 % 60, nMoving % 60);
    std::printf("moving distance: %.3f km\n", stats.m_dMovingMeters / 1000);
    std::printf("average moving speed: %.2f km/h\n", stats.m_dAverageMovingKmh);
    std::printf("ascent: %.0f m\ndescent: %.0f m\n", stats.m_climbs.m_dAscentMeters,
                stats.m_climbs.m_dDescentMeters);
    if (stats.m_climbs.HasAltitudes())
        std::printf("altitude: %.1f .. %.1f m\n", double(stats.m_climbs.m_fMinAltitude),
                    double(stats.m_climbs.m_fMaxAltitude));
}

}

int CliInfo(int argc, char** argv)
{
    bool bJson = false;
    const CliSyntax syntax{"info", INFO_USAGE, INFO_HELP, {CliFlag("--json", bJson)}, {"IN"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    CTrackPointList points;
    size_t nSkipped = 0;
    if (!LoadCliTrack("info", args[0], CTrackerSettings().m_nUtcCorrection, points, nSkipped))
        return CLI_FAILED;
    const CTripStats stats = TripStatistics(points);
    if (bJson) {
        PrintJson(stats, nSkipped);
        return CLI_OK;
    }
    PrintTrack(points, stats);
    std::printf("skipped points: %zu\n", nSkipped);
    return CLI_OK;
}
