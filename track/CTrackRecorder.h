#pragma once

#include "platform/Outcome.h"
#include "track/CTrackLog.h"
#include "track/CTrackPoint.h"

#include <QString>

class CGpsTracker;
struct CTrackerSettings;

// What one receiver tick brought: whether it decoded both halves of a
// position the receiver vouches for, and a failure the user has not been
// told of yet.
struct CTickResult
{
    bool m_bPosition = false;
    COutcome m_report;
};

// The recording of a run, shared by the window and the headless logger: the
// tracker's fixes become points of the track list and records of the log, as
// the settings say.
class CTrackRecorder
{
public:
    CTrackRecorder(CGpsTracker& tracker, CTrackPointList& points, const CTrackerSettings& settings);

    // The receiver half of the one-second tick: poll the port, then, when the
    // tick decoded a valid fix, the recording decision.
    CTickResult RunReceiverTick();
    // The recording decision: for a valid fix (HasValidFix) that is due, by
    // the interval for the speed or a turn while moving, StoreTrackPoint.
    COutcome CheckRecordPoint();
    // Stores the current fix unless its dilution is too high, starting a log
    // first when none is open. A log that cannot be started, or a record
    // that cannot be written, is reported once until it works again.
    COutcome StoreTrackPoint();

    // The Start Log command: unlike the first stored point, the user's own
    // command always hears when the log cannot be started.
    COutcome StartLog();
    // End log, and the end of the run: closes the log and writes its KML copy.
    COutcome EndLog();
    // Stores the current fix as a named placemark and writes it to the log;
    // no recording test applies and the counters stay as they are.
    COutcome SetPlacemark(const QString& strName);

    CTrackLog m_log;

private:
    // A failure reported once: Ok when it was said before and nothing has
    // worked since.
    COutcome Once(const COutcome& outcome, bool& bShown);
    // Appends a point of this run at the tail of the list.
    CTrackPoint& Append(CTrackPoint point);

    CGpsTracker& m_tracker;
    CTrackPointList& m_points;
    const CTrackerSettings& m_settings;
    bool m_bStartFailShown = false;
    bool m_bWriteFailShown = false;
    size_t m_nPointsAfterAppend = 0;   // the list's length after this run's last point
};
