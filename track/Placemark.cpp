#include "track/Placemark.h"

#include "gps/CGpsTracker.h"
#include "platform/TextFormat.h"

QString ProposedPlacemarkName(const CGpsTracker& tracker)
{
    return FormatText("Wayfen Log %4d-%02d-%02d %2d:%02d:%02d", tracker.m_nYear,
                             tracker.m_nMonth, tracker.m_nDay, tracker.m_nHour, tracker.m_nMinute,
                             tracker.m_nSecond);
}
