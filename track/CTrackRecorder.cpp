#include "track/CTrackRecorder.h"

#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"

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

CTrackRecorder::CTrackRecorder(CGpsTracker& tracker, CTrackPointList& points, const CTrackerSettings& settings)
    : m_tracker(tracker)
    , m_points(points)
    , m_settings(settings)
{
}

CTickResult CTrackRecorder::RunReceiverTick()
{
    m_tracker.PollPort(m_settings.m_nUtcCorrection);
    CTickResult result;
    result.m_bPosition = m_tracker.HasValidFix();
    if (result.m_bPosition)
        result.m_report = CheckRecordPoint();
    return result;
}

COutcome CTrackRecorder::CheckRecordPoint()
{
    if (!m_tracker.HasValidFix())
        return COutcome::Ok();
    const int nInterval = IntervalFor(m_tracker.m_fSpeed);
    // No wrap-around: a turn from 359 to 1 degrees counts as 358.
    const float fTurn = float(std::fabs(double(m_tracker.m_fLastLogCourse) - double(m_tracker.m_fCourse)));
    if (m_tracker.m_nSecsSinceLog > nInterval
        || (m_tracker.m_fSpeed > RECORD_TURN_SPEED && fTurn > RECORD_TURN_DEGREES))
        return StoreTrackPoint();
    return COutcome::Ok();
}

COutcome CTrackRecorder::StoreTrackPoint()
{
    if (double(m_tracker.m_fHdop) > m_settings.MaxDilution())
        return COutcome::Ok();
    if (!m_log.IsOpen()) {
        // Said once: a box every second would leave the user no way to act.
        const COutcome started = m_log.Start(m_tracker, m_points, m_settings.m_bKmlAltitude != 0);
        if (!m_log.IsOpen())
            return Once(started, m_bStartFailShown);
        m_bStartFailShown = false;
        m_bWriteFailShown = false;
    }
    ++m_log.m_nLogPoints;
    m_tracker.m_nSecsSinceLog = 0;
    m_tracker.m_fLastLogCourse = m_tracker.m_fCourse;
    return Once(m_log.Write(Append(CTrackPoint(m_tracker, m_settings.m_nUtcCorrection))), m_bWriteFailShown);
}

COutcome CTrackRecorder::StartLog()
{
    const COutcome started = m_log.Start(m_tracker, m_points, m_settings.m_bKmlAltitude != 0);
    m_bStartFailShown = !m_log.IsOpen();
    if (m_log.IsOpen())
        m_bWriteFailShown = false;
    return started;
}

COutcome CTrackRecorder::EndLog()
{
    return m_log.End(m_points, m_settings.m_bKmlAltitude != 0);
}

COutcome CTrackRecorder::SetPlacemark(const QString& strName)
{
    CTrackPoint point(m_tracker, m_settings.m_nUtcCorrection);
    point.m_strName = strName;
    const COutcome written = m_log.IsOpen() ? Once(m_log.Write(point), m_bWriteFailShown) : COutcome::Ok();
    Append(std::move(point));
    return written;
}

CTrackPoint& CTrackRecorder::Append(CTrackPoint point)
{
    // Points that came in from elsewhere (File Open) since this run's last
    // one: the run goes on in a segment of its own.
    point.m_bSegmentStart = m_points.size() != m_nPointsAfterAppend;
    CTrackPoint& appended = m_points.emplace_back(std::move(point));
    m_nPointsAfterAppend = m_points.size();
    return appended;
}

COutcome CTrackRecorder::Once(const COutcome& outcome, bool& bShown)
{
    if (outcome) {
        bShown = false;
        return outcome;
    }
    if (bShown)
        return COutcome::Ok();
    bShown = true;
    return outcome;
}
