#include "tests/track/TrackTestSupport.h"

#include "app/CTrackerApp.h"
#include "platform/DevicePaths.h"
#include "tests/common/TestSupport.h"

#include <QDir>

void ResetRecorder()
{
    {
        CMessageCapture quiet;
        theApp.m_tracker.EndLog();
    }
    theApp.m_trackPoints.clear();
    theApp.m_bKmlAltitude = 0;
    theApp.m_nMaxDilution = 50;
    theApp.m_dMaxDilution = 5.0;
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_strLogBase.clear();
    tracker.m_nLogPoints = 0;
    tracker.m_nUpdateFlags = 0;
    tracker.m_nSecsSinceLog = 0;
    tracker.m_fLastLogCourse = 0;
    tracker.m_fLatitude = tracker.m_fLongitude = tracker.m_fAltitude = 0;
    tracker.m_fSpeed = tracker.m_fCourse = tracker.m_fHdop = 0;
    tracker.m_nHour = tracker.m_nMinute = tracker.m_nSecond = 0;
    tracker.m_nYear = tracker.m_nMonth = tracker.m_nDay = 0;
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

void SetFix(float fLatitude, float fLongitude, float fSpeed, float fCourse, float fHdop)
{
    CGpsTracker& tracker = theApp.m_tracker;
    tracker.m_fLatitude = fLatitude;
    tracker.m_fLongitude = fLongitude;
    tracker.m_fSpeed = fSpeed;
    tracker.m_fCourse = fCourse;
    tracker.m_fHdop = fHdop;
    tracker.m_nUpdateFlags = UPD_LATITUDE | UPD_LONGITUDE;
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
