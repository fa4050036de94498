#include "track/Recording.h"

#include "app/CTrackerApp.h"
#include "gps/CGpsTracker.h"
#include "track/CTrackPoint.h"
#include "track/GpdFile.h"

#include <cmath>

namespace {

struct RecordInterval
{
    float fAboveSpeed;   // knots, strictly above
    int nSeconds;
};

const RecordInterval RECORD_INTERVALS[] = {{60.0f, 10}, {40.0f, 20}, {20.0f, 40}};
constexpr int RECORD_SLOW_INTERVAL = 60;
constexpr float RECORD_TURN_SPEED = 1.0f;
constexpr float RECORD_TURN_DEGREES = 2.0f;

int IntervalFor(float fSpeed)
{
    for (const RecordInterval& interval : RECORD_INTERVALS) {
        if (fSpeed > interval.fAboveSpeed)
            return interval.nSeconds;
    }
    return RECORD_SLOW_INTERVAL;
}

}

void CheckRecordPoint()
{
    CGpsTracker& tracker = theApp.m_tracker;
    const uint32_t nPosition = UPD_LATITUDE | UPD_LONGITUDE;
    if ((tracker.m_nUpdateFlags & nPosition) != nPosition)
        return;
    const int nInterval = IntervalFor(tracker.m_fSpeed);
    // No wrap-around: a turn from 359 to 1 degrees counts as 358.
    const float fTurn = float(std::fabs(double(tracker.m_fLastLogCourse) - double(tracker.m_fCourse)));
    if (tracker.m_nSecsSinceLog > nInterval
        || (tracker.m_fSpeed > RECORD_TURN_SPEED && fTurn > RECORD_TURN_DEGREES))
        tracker.StoreTrackPoint();
}

bool CGpsTracker::StoreTrackPoint()
{
    if (double(m_fHdop) > theApp.m_dMaxDilution)
        return false;
    if (!m_hLogFile && !StartLog())
        return false;
    ++m_nLogPoints;
    m_nSecsSinceLog = 0;
    m_fLastLogCourse = m_fCourse;
    const CTrackPoint& point = theApp.m_trackPoints.emplace_back(*this);
    WriteLogPoint(*this, point);
    return true;
}
