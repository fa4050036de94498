#include "track/CTrackLog.h"

#include "gps/CGpsTracker.h"
#include "platform/DevicePaths.h"
#include "platform/LogFile.h"
#include "platform/TextFormat.h"
#include "track/GpdFile.h"
#include "track/KmlExport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int LOG_MAX_SUFFIX = 999;
constexpr float LOG_START_COURSE = -10.0f;

QString DatedLogBase()
{
    const QDateTime now = QDateTime::currentDateTime();
    return GPS_FOLDER + FormatText("GPSLog_%4d-%02d-%02d_%02d%02d", now.date().year(), now.date().month(),
                                   now.date().day(), now.time().hour(), now.time().minute());
}

// Creates the log file under a base whose .gpd and .kml are both free, so an
// earlier log and its KML copy are never replaced.
std::unique_ptr<CLogFile> CreateLogFile(const QString& strBase, QString& strChosenBase)
{
    for (int n = 1; n <= LOG_MAX_SUFFIX; ++n) {
        const QString strCandidate = n == 1 ? strBase : strBase + QStringLiteral("_%1").arg(n);
        if (QFileInfo::exists(HostPath(strCandidate + QStringLiteral(".kml"))))
            continue;
        std::unique_ptr<CLogFile> file = CLogFile::CreateNew(HostPath(strCandidate + QStringLiteral(".gpd")));
        if (file) {
            strChosenBase = strCandidate;
            return file;
        }
        if (errno != EEXIST)
            return nullptr;
    }
    return nullptr;
}

}

CTrackLog::CTrackLog() = default;

CTrackLog::~CTrackLog() = default;

COutcome CTrackLog::Start(CGpsTracker& tracker, const CTrackPointList& points, bool bKmlAltitude)
{
    // The name takes the time the command came, not the time the previous
    // log's KML copy was done.
    const QString strBase = m_strBaseOverride.isEmpty() ? DatedLogBase() : m_strBaseOverride;
    const COutcome ended = End(points, bKmlAltitude);
    m_strLogBase = strBase;
    std::unique_ptr<CLogFile> file = CreateLogFile(strBase, m_strLogBase);
    const std::string header = GpdHeader(0);
    if (file && !file->WriteRecord(header.data(), header.size())) {
        // A log without its header could never be read back.
        QFile::remove(file->HostPath());
        file.reset();
    }
    if (!file)
        return COutcome::Fail(QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen"), errno);
    m_hLogFile = std::move(file);
    tracker.m_fLastLogCourse = LOG_START_COURSE;
    tracker.m_nSecsSinceLog = 0;
    m_nLogPoints = 0;
    return ended;
}

COutcome CTrackLog::End(const CTrackPointList& points, bool bKmlAltitude)
{
    if (!m_hLogFile)
        return COutcome::Ok();
    const bool bSynced = m_hLogFile->Sync();
    const int nErrno = errno;
    // The lock stays until the copy is written: a recovery in another
    // process would take a log without its copy for an unfinished one.
    const COutcome written = WriteKml(m_strLogBase + QStringLiteral(".kml"), points, bKmlAltitude);
    m_hLogFile.reset();
    return bSynced ? written : COutcome::Fail(QStringLiteral("Error writing file"), nErrno);
}

COutcome CTrackLog::Write(const CTrackPoint& point)
{
    if (!m_hLogFile)
        return COutcome::Fail(QStringLiteral("Error writing file"));
    if (!point.WriteTrackPoint(*m_hLogFile))
        return COutcome::Fail(QStringLiteral("Error writing file"), errno);
    return COutcome::Ok();
}

int64_t CTrackLog::FilePoints() const
{
    return m_hLogFile ? std::max<int64_t>(m_hLogFile->Records() - 1, 0) : 0;
}
