#include "tests/track/TrackTestSupport.h"

#include "platform/DevicePaths.h"
#include "track/TrackFormats.h"
#include "track/XmlTrackReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>

void EmptyGpsFolder()
{
    QDir gps(GpsFolder());
    gps.mkpath(QStringLiteral("."));
    for (const QString& strName : gps.entryList(QDir::Files))
        gps.remove(strName);
}

QString GpsFolder()
{
    return StorageCardFolder() + QStringLiteral("/GPS");
}

QStringList GpsFiles(const QString& strPattern)
{
    return QDir(GpsFolder()).entryList({strPattern}, QDir::Files, QDir::Name);
}

void SetFix(CGpsTracker& tracker, float fLatitude, float fLongitude, float fSpeed, float fCourse, float fHdop)
{
    tracker.m_fLatitude = fLatitude;
    tracker.m_fLongitude = fLongitude;
    tracker.m_fSpeed = fSpeed;
    tracker.m_fCourse = fCourse;
    tracker.m_fHdop = fHdop;
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
    tracker.m_bFixVouched = true;
}

::testing::AssertionResult Succeeded(const COutcome& outcome)
{
    if (outcome)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "failed with \"" << outcome.Message().toStdString() << "\"";
}

::testing::AssertionResult FailedWith(const COutcome& outcome, const QString& strMessage)
{
    if (outcome)
        return ::testing::AssertionFailure() << "succeeded, expected \"" << strMessage.toStdString() << "\"";
    if (outcome.Message() != strMessage)
        return ::testing::AssertionFailure() << "failed with \"" << outcome.Message().toStdString()
                                             << "\", expected \"" << strMessage.toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

QString RecorderTest::LogPath() const
{
    return HostPath(m_recorder.m_log.m_strLogBase + QStringLiteral(".gpd"));
}

CTrackPoint MakePoint(float fLatitude, float fLongitude, float fAltitude, float fSpeed, int nHour,
                      int nMinute, int nSecond, const QString& strName)
{
    CTrackPoint point;
    point.m_fLatitude = fLatitude;
    point.m_fLongitude = fLongitude;
    point.m_fAltitude = fAltitude;
    point.m_fSpeed = fSpeed;
    point.m_byHour = uint8_t(nHour);
    point.m_byMinute = uint8_t(nMinute);
    point.m_bySecond = uint8_t(nSecond);
    point.m_strName = strName;
    return point;
}

QByteArray GpdImage(const CTrackPointList& points, uint32_t nCount)
{
    std::string image("GPD\r\n\x1A", 6);
    for (int i = 0; i < 4; ++i)
        image.push_back(char(nCount >> (8 * i)));
    for (const CTrackPoint& point : points)
        point.AppendRecord(image);
    return QByteArray(image.data(), qsizetype(image.size()));
}

namespace {

CTrackPoint Step(int nSteps, int nHour, int nMinute, int nSecond, float fSpeed = 0, const char* pszName = "")
{
    return MakePoint(50.0f + float(nSteps) / 1024.0f, 4.0f, 0, fSpeed, nHour, nMinute, nSecond,
                     QString::fromLatin1(pszName));
}

}

CTrackPointList HandCheckedTrack()
{
    return {
        Step(0, 10, 0, 0),
        Step(1, 10, 0, 10),                     // 1 step in 10 s: moving
        Step(1, 10, 0, 20),                     // standing still: not moving
        Step(2, 10, 10, 20),                    // 600 s: a pause, not moving
        Step(3, 10, 10, 20),                    // 0 s: not moving
        Step(4, 10, 10, 40, 12.5f, "Bridge"),   // 20 s: moving
        Step(5, 10, 15, 40),                    // 300 s, 0.36 m/s: too slow
        Step(7, 10, 20, 40),                    // 300 s, 0.72 m/s: moving
        Step(7, 23, 59, 55),                    // standing, most of a day later
        Step(8, 0, 0, 5),                       // across midnight, 10 s: moving
    };
}

CliRun RunCli(const QStringList& args, int nTimeoutMs, const QStringList& environment)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& strEntry : environment)
        env.insert(strEntry.section(QLatin1Char('='), 0, 0), strEntry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"), args);
    CliRun run;
    if (!process.waitForFinished(nTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.strOut = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.strErr = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QString CliFolderTest::Write(const QString& strName, const QByteArray& data) const
{
    QFile file(Path(strName));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
    return file.fileName();
}

QByteArray Fix(const char* pszTime, const char* pszSpeed, const char* pszHdop, const char* pszCourse)
{
    return QStringLiteral("$GPRMC,%1,A,5230.0000,N,00415.0000,E,%2,%4,071226,,\r\n"
                          "$GPGGA,%1,5230.0000,N,00415.0000,E,1,08,%3,12.5,M,,,,\r\n")
        .arg(QLatin1String(pszTime), QLatin1String(pszSpeed), QLatin1String(pszHdop), QLatin1String(pszCourse))
        .toLatin1();
}

QString Time(int nSeconds)
{
    return QString::asprintf("%02d%02d%02d", nSeconds / 3600 % 24, nSeconds / 60 % 60, nSeconds % 60);
}

bool ReadXmlDocument(const std::string& document, CTrackPointList& points, size_t& nSkipped)
{
    QBuffer buffer;
    buffer.setData(document.data(), qsizetype(document.size()));
    buffer.open(QIODevice::ReadOnly);
    return ReadXmlTrack(buffer, 0, points, nSkipped);
}
