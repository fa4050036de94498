#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>

// A log that ended by a crash or a power loss has its GPD file but never got
// its KML copy, which only the end of the log writes, or got only part of it.
struct CLogRecovery
{
    QStringList m_written;   // KML copies written, as folder + name
    QStringList m_skipped;   // logs that could not be read (not GPD files)
    QStringList m_failed;    // why KML copies could not be written, or were left alone
    size_t m_nSkippedPoints = 0;   // records of the logs read that no fix can be
};

// Writes the KML copy of every GPSLog_*.gpd in a folder (in the program's
// form or a host path) that has none beside it, or one that is not a whole
// document (not well-formed, or without its closing </kml>), from the log's
// whole records, as the end of the log would have. bKmlAltitude as in
// WriteKml. Records that no fix can be are left out of the copies. A copy is
// written as the log is read, so no log is too long to recover. It is the
// program's own file: a link or anything but a regular file in its place
// is left alone and named in m_failed.
CLogRecovery RecoverUnfinishedLogs(const QString& strFolder, bool bKmlAltitude);
