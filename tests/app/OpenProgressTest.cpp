// File Open of a file that takes a while: the progress dialog, and Cancel,
// which leaves the track as it was.
#include "tests/app/AppTestSupport.h"
#include "app/CTrackerApp.h"
#include "app/OpenProgress.h"
#include "track/GpdFile.h"
#include "track/GpxExport.h"
#include "track/KmlExport.h"

#include <QProgressDialog>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

constexpr int OPEN_TEST_POINTS = 200000;   // some megabytes: many pieces

TEST(OpenProgress, CancelLeavesTheTrackAsItWas)
{
    ResetApp();
    CTrackPointList points;
    for (int i = 0; i < OPEN_TEST_POINTS; ++i) {
        CTrackPoint& point = points.emplace_back();
        point.m_fLatitude = 52.0f + float(i) * 1e-6f;
        point.m_fLongitude = 5.0f;
    }
    QTemporaryDir dir;
    const QString strGpx = dir.filePath(QStringLiteral("long.gpx"));
    const QString strKml = dir.filePath(QStringLiteral("long.kml"));
    const QString strGpd = dir.filePath(QStringLiteral("long.gpd"));
    ASSERT_TRUE(WriteGpx(strGpx, points) && WriteKml(strKml, points, false) && WriteGpdFile(strGpd, points));

    const struct
    {
        QString strPath;
        bool bCancel;
        size_t nPointsAfter;
    } CASES[] = {
        {strGpx, true, 1}, {strKml, true, 1}, {strGpd, true, 1}, {strGpx, false, 1 + OPEN_TEST_POINTS},
    };
    QWidget frame;
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.strPath.toStdString() + (c.bCancel ? " cancelled" : ""));
        theApp.m_trackPoints = {CTrackPoint()};
        CModalDriver driver;
        bool bSeen = false;
        driver.Then([&](QDialog* pDialog) {
            auto* pProgress = qobject_cast<QProgressDialog*>(pDialog);
            ASSERT_NE(pProgress, nullptr);
            bSeen = true;
            if (c.bCancel)
                pProgress->cancel();
        });
        // The dialog at once instead of after half a second; the driver's
        // poll is due by the time the dialog first lets events through.
        QThread::msleep(10);
        EXPECT_EQ(OpenTrackWithProgress(&frame, c.strPath, 0), !c.bCancel);
        EXPECT_TRUE(bSeen);
        EXPECT_EQ(theApp.m_trackPoints.size(), c.nPointsAfter);
    }
    // A file read faster than the delay shows nothing.
    theApp.m_trackPoints.clear();
    CModalDriver driver;
    EXPECT_TRUE(OpenTrackWithProgress(&frame, strGpd, 60000));
    EXPECT_EQ(driver.m_nDialogs, 0);
    EXPECT_EQ(theApp.m_trackPoints.size(), size_t(OPEN_TEST_POINTS));
    ResetApp();
}

}
