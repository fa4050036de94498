#pragma once

#include "track/CTrackPoint.h"

#include <QString>
#include <QStringList>

// Ends any open log, empties the track and brings the tracker and the
// recording settings back to their start values; empties the GPS folder.
void ResetRecorder();

// Host path of the storage card's GPS folder, and the names of the files in
// it matching a wildcard, sorted.
QString GpsFolder();
QStringList GpsFiles(const QString& strPattern = QStringLiteral("*"));

// A fix in the tracker with both position bits of this tick set.
void SetFix(float fLatitude, float fLongitude, float fSpeed, float fCourse, float fHdop = 1.0f);

// A point as stored from a fix at h:m:s.
CTrackPoint MakePoint(float fLatitude, float fLongitude, float fAltitude, float fSpeed, int nHour,
                      int nMinute, int nSecond = 0, const QString& strName = QString());

// The GPD image of points: a header with the given count, then the records.
QByteArray GpdImage(const CTrackPointList& points, uint32_t nCount = 0);

// A run of veltrip-cli: exit code (-1 when it did not end normally within the
// time) and its output.
struct CliRun
{
    int nExit = -1;
    QString strOut;
    QString strErr;
};
CliRun RunCli(const QStringList& args, int nTimeoutMs = 60000);

// One fix as a capture line pair: RMC and GGA with the same time (hhmmss).
QByteArray Fix(const char* pszTime, const char* pszSpeed = "0.0", const char* pszHdop = "1.0",
               const char* pszCourse = "90.0");

// hhmmss of a second of the day.
QString Time(int nSeconds);
