#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"

#include <QString>
#include <cstdint>
#include <memory>

class CGpsTracker;
class CLogFile;

// The running GPD log: its open file, its base name (the path without
// extension, to which ".gpd" and ".kml" are appended) and its counters.
// Every stored point goes to the file at once; the end of the log writes the
// whole track as KML beside it.
class CTrackLog
{
public:
    CTrackLog();
    ~CTrackLog();
    CTrackLog(const CTrackLog&) = delete;
    CTrackLog& operator=(const CTrackLog&) = delete;

    // Ends an open log first, then opens a new one under the dated name in
    // "\Storage card\GPS\" (or the base set by SetBase), never replacing an
    // existing file. The tracker's recording state starts afresh.
    COutcome Start(CGpsTracker& tracker, const CTrackPointList& points, bool bKmlAltitude);
    // Closes the log and writes the points as its KML copy; Ok without a log.
    COutcome End(const CTrackPointList& points, bool bKmlAltitude);
    // Appends one point's record; the log stays open after a failure and
    // still ends on a whole record.
    COutcome Write(const CTrackPoint& point);

    // Logs go under this base (path without extension) instead of the dated
    // name; an empty base restores the dated name.
    void SetBase(const QString& strBase) { m_strBaseOverride = strBase; }

    bool IsOpen() const { return m_hLogFile != nullptr; }
    // Points the open log file holds (its whole records); 0 without a log.
    int64_t FilePoints() const;

    std::unique_ptr<CLogFile> m_hLogFile;   // null: not logging
    QString m_strLogBase;
    int32_t m_nLogPoints = 0;

private:
    QString m_strBaseOverride;
};
