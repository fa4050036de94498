// Ascent, descent and the altitude range of a track, through veltrip-cli
// info --json.
#include "tests/track/TrackTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

struct ClimbCase
{
    const char* szName;
    std::vector<float> altitudes;   // one point a second, 0.001 degree apart
    int nGapAfter;                  // the index after which an hour passes, or -1
    double dAscent;
    double dDescent;
    bool bRange;                    // the altitude keys are there
    double dMin;
    double dMax;
};

QByteArray Gpx(const ClimbCase& c)
{
    QByteArray gpx = "<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg>";
    int nSecond = 0;
    for (size_t i = 0; i < c.altitudes.size(); ++i) {
        gpx += QString::asprintf("<trkpt lat=\"%.3f\" lon=\"5\"><ele>%.2f</ele>"
                                 "<time>2026-12-07T%02d:%02d:%02dZ</time></trkpt>",
                                 52 + 0.001 * double(i), double(c.altitudes[i]), 10 + nSecond / 3600,
                                 nSecond / 60 % 60, nSecond % 60)
                   .toLatin1();
        nSecond += int(i) == c.nGapAfter ? 3600 : 1;
    }
    return gpx + "</trkseg></trk></gpx>";
}

TEST(Climbs, InfoJsonCountsChangesBeyondTheDeadBand)
{
    // Worked by hand: the reference moves only on a change of more than 5 m.
    const ClimbCase cases[] = {
        {"hill with noise", {100, 103, 98, 104, 110, 113, 120, 117, 125.5f, 121, 115, 100, 104}, -1,
         10 + 10 + 5.5, 10.5 + 15, true, 98, 125.5},
        {"flat with noise", {50, 54, 46, 53, 47, 55, 50}, -1, 0, 0, true, 46, 55},
        {"exactly the band", {10, 15, 10, 5, 10.5f}, -1, 0, 0, true, 5, 15},
        {"single point", {7}, -1, 0, 0, true, 7, 7},
        {"gap in time", {0, 10, 30, 20}, 1, 30, 10, true, 0, 30},
        {"no points", {}, -1, 0, 0, false, 0, 0},
    };
    QTemporaryDir dir;
    for (const ClimbCase& c : cases) {
        SCOPED_TRACE(c.szName);
        const QString strPath = dir.filePath(QStringLiteral("track.gpx"));
        QFile file(strPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(Gpx(c));
        file.close();
        const CliRun run = RunCli({QStringLiteral("info"), QStringLiteral("--json"), strPath});
        ASSERT_EQ(run.nExit, 0) << run.strErr.toStdString();
        EXPECT_FALSE(run.strOut.contains(QStringLiteral("null")) || run.strOut.contains(QStringLiteral("nan")));
        const QJsonObject json = QJsonDocument::fromJson(run.strOut.toUtf8()).object();
        EXPECT_EQ(json[QStringLiteral("points")].toInt(), int(c.altitudes.size()));
        EXPECT_NEAR(json[QStringLiteral("ascentMeters")].toDouble(-1), c.dAscent, 1e-3);
        EXPECT_NEAR(json[QStringLiteral("descentMeters")].toDouble(-1), c.dDescent, 1e-3);
        EXPECT_EQ(json.contains(QStringLiteral("minAltitudeMeters")), c.bRange);
        EXPECT_EQ(json.contains(QStringLiteral("maxAltitudeMeters")), c.bRange);
        if (c.bRange) {
            EXPECT_NEAR(json[QStringLiteral("minAltitudeMeters")].toDouble(), c.dMin, 1e-3);
            EXPECT_NEAR(json[QStringLiteral("maxAltitudeMeters")].toDouble(), c.dMax, 1e-3);
        }
    }
}

}
