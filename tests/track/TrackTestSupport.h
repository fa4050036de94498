#pragma once

#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/CTrackRecorder.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

// Empties the storage card's GPS folder (creating it when it is missing).
void EmptyGpsFolder();

// Host path of the storage card's GPS folder, and the names of the files in
// it matching a wildcard, sorted.
QString GpsFolder();
QStringList GpsFiles(const QString& strPattern = QStringLiteral("*"));

// A valid fix in the tracker with both position bits of this tick set.
void SetFix(CGpsTracker& tracker, float fLatitude, float fLongitude, float fSpeed, float fCourse,
            float fHdop = 1.0f);

// Success; a failure shows its message.
::testing::AssertionResult Succeeded(const COutcome& outcome);
// A failure with exactly this message.
::testing::AssertionResult FailedWith(const COutcome& outcome, const QString& strMessage);

// A run as the window and the logger hold it: the settings, the tracker, the
// track and the recorder that joins them, with an empty GPS folder. The log
// is ended after each test and the folder emptied again.
class RecorderTest : public ::testing::Test
{
protected:
    void SetUp() override { EmptyGpsFolder(); }
    void TearDown() override
    {
        m_recorder.EndLog();
        EmptyGpsFolder();
    }

    void SetFix(float fLatitude, float fLongitude, float fSpeed, float fCourse, float fHdop = 1.0f)
    {
        ::SetFix(m_tracker, fLatitude, fLongitude, fSpeed, fCourse, fHdop);
    }

    // Host path of the running log's GPD file.
    QString LogPath() const;

    CTrackerSettings m_settings;
    CGpsTracker m_tracker;
    CTrackPointList m_points;
    CTrackRecorder m_recorder{m_tracker, m_points, m_settings};
};

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
// time) and its output. environment adds or replaces "NAME=value" entries.
struct CliRun
{
    int nExit = -1;
    QString strOut;
    QString strErr;
};
CliRun RunCli(const QStringList& args, int nTimeoutMs = 60000, const QStringList& environment = {});

// A test of the tools with a folder of its own for the files they read and write.
class CliFolderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

    // Writes a file in the folder; its path.
    QString Write(const QString& strName, const QByteArray& data) const;

    QTemporaryDir m_dir;
};

// One fix as a capture line pair: RMC and GGA with the same time (hhmmss).
QByteArray Fix(const char* pszTime, const char* pszSpeed = "0.0", const char* pszHdop = "1.0",
               const char* pszCourse = "90.0");

// hhmmss of a second of the day.
QString Time(int nSeconds);

// A GPX or KML document read from memory, in one piece as a device gives it.
bool ReadXmlDocument(const std::string& document, CTrackPointList& points, size_t& nSkipped);
