#include "track/Placemark.h"

#include "app/CTrackerApp.h"
#include "gps/CGpsTracker.h"
#include "platform/TextFormat.h"
#include "track/CTrackPoint.h"
#include "track/GpdFile.h"

QString ProposedPlacemarkName(const CGpsTracker& tracker)
{
    return FormatText("Wayfen Log %4d-%02d-%02d %2d:%02d:%02d", tracker.m_nYear,
                             tracker.m_nMonth, tracker.m_nDay, tracker.m_nHour, tracker.m_nMinute,
                             tracker.m_nSecond);
}

// Called once the name is confirmed, so the point is the fix of that moment.
// No recording test applies, and the recording counters stay as they are.
void CGpsTracker::SetPlacemark(const QString& strName)
{
    CTrackPoint point(*this);
    point.m_strName = strName;
    WriteLogPoint(*this, point);
    theApp.m_trackPoints.push_back(std::move(point));
}
