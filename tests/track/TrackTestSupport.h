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

// Points on the meridian 4 E, whole steps of 2^-10 degree north of 50 N (all
// exact in single precision). On a meridian the haversine is R times the
// latitude difference in radians, so a step is 6371008.8 * pi / 180 / 1024 =
// 108.588946 m, worked out by hand, not by the code under test.
constexpr double HAND_STEP_METERS = 108.58894554055948;

// Ten points of 8 steps in all, each pair covering a rule of the trip
// statistics: moving 5 steps in 340 s, a placemark "Bridge" at 12.5 knots.
CTrackPointList HandCheckedTrack();

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
