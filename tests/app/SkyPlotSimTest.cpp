// The sky plot of the satellites veltrip-sim reports, decoded from its own
// sentences as the program decodes a receiver's.
#include "app/CTrackerApp.h"
#include "display/SkyView.h"
#include "display/Views.h"
#include "gps/TrackerSettings.h"
#include "tests/common/RecordingDC.h"
#include "tools/sim/CSimReceiver.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(SkyPlotSimTest, ShowsTheSimulatorsSatellites)
{
    CSimReceiver sim(52.09, 5.12);
    CGpsTracker tracker;
    const QDateTime utc(QDate(2026, 12, 7), QTime(15, 8, 0), Qt::UTC);
    // On to a second with a satellite too low to be used, so both kinds show.
    for (int i = 0; i < 3600 && sim.SatellitesUsed().size() == sim.SatellitesInView().size(); ++i)
        sim.Step();
    tracker.BeginTick();
    const QByteArray sentences = sim.Sentences(utc);
    tracker.AssembleBytes(sentences.constData(), size_t(sentences.size()), 0);

    const std::vector<SimSatellite> inView = sim.SatellitesInView();
    const std::vector<int> used = sim.SatellitesUsed();
    ASSERT_GE(inView.size(), 4u);
    ASSERT_FALSE(used.empty());
    ASSERT_LT(used.size(), inView.size()) << "the sky should have a satellite that is not used";

    CRecordingDC dc(SKY_WIDTH, SKY_HEIGHT);
    const CTrackerSettings settings;
    const CViewFonts fonts;
    const CTrackPointList points;
    DrawSkyView(&dc, CViewContext(tracker, points, settings, fonts, QRect(0, 0, SKY_WIDTH, SKY_HEIGHT)));
    const QStringList texts = dc.Texts();
    const QImage& image = dc.Image();
    for (const SimSatellite& sat : inView) {
        const QString strPrn = QString::number(sat.nPrn);
        EXPECT_EQ(texts.count(strPrn), 2) << "PRN " << sat.nPrn << " beside its disc and below its bar";
        const QPoint at = SkyPosition(sat.nAzimuth, sat.nElevation);
        const bool bUsed = std::find(used.begin(), used.end(), sat.nPrn) != used.end();
        EXPECT_EQ(image.pixel(at + QPoint(1, 2)), bUsed ? qRgb(0, 90, 200) : qRgb(255, 255, 255))
            << "PRN " << sat.nPrn;
    }
    EXPECT_EQ(dc.CallsOf(QStringLiteral("Ellipse")).size(), 3 + inView.size());
}

}
