#include "track/ReceiverTick.h"

#include "app/CTrackerApp.h"
#include "track/Recording.h"

bool RunReceiverTick()
{
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.PollPort();
    constexpr uint32_t UPD_POSITION = UPD_LATITUDE | UPD_LONGITUDE;
    if ((tracker.m_nUpdateFlags & UPD_POSITION) != UPD_POSITION)
        return false;
    CheckRecordPoint();
    return true;
}
