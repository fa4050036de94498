#include "track/GpdFile.h"

#include "app/CTrackerApp.h"
#include "gps/CGpsTracker.h"
#include "platform/BufferedFile.h"
#include "platform/DevicePaths.h"
#include "platform/InputFile.h"
#include "platform/LogFile.h"
#include "platform/MessageHook.h"
#include "platform/TextFormat.h"
#include "track/KmlExport.h"
#include "track/XmlTrackReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace {

const char GPD_SIGNATURE[] = {0x47, 0x50, 0x44, 0x0D, 0x0A, 0x1A};
constexpr size_t GPD_SIGNATURE_SIZE = sizeof GPD_SIGNATURE;
constexpr size_t GPD_VALUES_SIZE = GPD_RECORD_SIZE - 1;
constexpr int GPD_MAX_SUFFIX = 999;
constexpr float GPD_START_COURSE = -10.0f;
constexpr size_t GPD_READ_CHUNK = 64 * 1024;

QString g_strLogBaseOverride;
bool g_bLogWriteErrorShown = false;

float ReadFloat(const unsigned char* p)
{
    return std::bit_cast<float>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16
                                | uint32_t(p[3]) << 24);
}

std::string GpdHeader(uint32_t nCount)
{
    std::string header(GPD_SIGNATURE, GPD_SIGNATURE_SIZE);
    for (int i = 0; i < 4; ++i)
        header.push_back(char(nCount >> (8 * i)));
    return header;
}

QString DatedLogBase()
{
    const QDateTime now = QDateTime::currentDateTime();
    return FormatText("\\Storage card\\GPS\\GPSLog_%4d-%02d-%02d_%02d%02d",
                             now.date().year(), now.date().month(), now.date().day(),
                             now.time().hour(), now.time().minute());
}

// Creates the log file under a base whose .gpd and .kml are both free, so an
// earlier log and its KML copy are never replaced.
std::unique_ptr<CLogFile> CreateLogFile(const QString& strBase, QString& strChosenBase)
{
    for (int n = 1; n <= GPD_MAX_SUFFIX; ++n) {
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

bool CGpdReader::Feed(const char* pData, size_t nSize)
{
    if (!m_bHeaderRead) {
        if (!TakePending(pData, nSize, GPD_HEADER_SIZE - m_pending.size()))
            return true;
        if (m_pending[5] != GPD_SIGNATURE[5])
            return false;
        m_bHeaderRead = true;
        m_pending.clear();
    }
    if (!m_pending.empty() && !FinishPending(pData, nSize))
        return true;
    const size_t nDone = ReadRecords(reinterpret_cast<const unsigned char*>(pData), nSize);
    m_pending.assign(pData + nDone, nSize - nDone);
    return true;
}

// Moves up to nWanted bytes of the piece to the pending bytes; true when the
// piece held all of them.
bool CGpdReader::TakePending(const char*& pData, size_t& nSize, size_t nWanted)
{
    const size_t nTake = std::min(nSize, nWanted);
    m_pending.append(pData, nTake);
    pData += nTake;
    nSize -= nTake;
    return nTake == nWanted;
}

// Completes the record held from the previous piece with the bytes it still
// needs; false when this piece did not finish it either.
bool CGpdReader::FinishPending(const char*& pData, size_t& nSize)
{
    if (m_pending.size() < GPD_VALUES_SIZE) {
        if (!TakePending(pData, nSize, GPD_VALUES_SIZE - m_pending.size()))
            return false;
    }
    const char* pZero = static_cast<const char*>(std::memchr(pData, 0, nSize));
    if (!TakePending(pData, nSize, pZero ? size_t(pZero - pData) + 1 : nSize) || !pZero)
        return false;
    ReadRecords(reinterpret_cast<const unsigned char*>(m_pending.data()), m_pending.size());
    m_pending.clear();
    return true;
}

// Appends every whole record at the start of the bytes; returns how many
// bytes they took.
size_t CGpdReader::ReadRecords(const unsigned char* pData, size_t nSize)
{
    const unsigned char* p = pData;
    const unsigned char* pEnd = pData + nSize;
    while (size_t(pEnd - p) >= GPD_RECORD_SIZE) {
        const auto* pName = p + GPD_VALUES_SIZE;
        const auto* pZero = static_cast<const unsigned char*>(std::memchr(pName, 0, size_t(pEnd - pName)));
        if (!pZero)
            break;
        CTrackPoint& point = m_points.emplace_back();
        point.m_fLatitude = ReadFloat(p);
        point.m_fLongitude = ReadFloat(p + 4);
        point.m_fSpeed = ReadFloat(p + 8);
        point.m_fAltitude = ReadFloat(p + 12);
        point.m_fCourse = ReadFloat(p + 16);
        point.m_fHdop = ReadFloat(p + 20);
        point.m_byHour = p[24];
        point.m_byMinute = p[25];
        point.m_bySecond = p[26];
        if (pZero != pName)
            point.m_strName = QString::fromLatin1(reinterpret_cast<const char*>(pName), pZero - pName);
        p = pZero + 1;
    }
    return size_t(p - pData);
}

bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points)
{
    CGpdReader reader(points);
    return reader.Feed(pData, nSize) && reader.Finish();
}

EGpdLoad OpenTrackInput(CInputFile& file, const QString& strHostPath)
{
    switch (file.Open(strHostPath)) {
    case CInputFile::EOpen::Ok:
        return EGpdLoad::Ok;
    case CInputFile::EOpen::Missing:
        return EGpdLoad::Unreadable;
    case CInputFile::EOpen::NotAFile:
        return EGpdLoad::NotAFile;
    case CInputFile::EOpen::InUse:
        return EGpdLoad::InUse;
    }
    return EGpdLoad::Unreadable;
}

EGpdLoad LoadGpdFile(const QString& strHostPath, CTrackPointList& points, const CLoadProgress& progress)
{
    CInputFile file;
    if (const EGpdLoad opened = OpenTrackInput(file, strHostPath); opened != EGpdLoad::Ok)
        return opened;
    const size_t nOld = points.size();
    CGpdReader reader(points);
    const std::unique_ptr<char[]> buffer(new char[GPD_READ_CHUNK]);
    EGpdLoad result = EGpdLoad::Ok;
    uint64_t nDone = 0;
    for (;;) {
        const ptrdiff_t nRead = file.Read(buffer.get(), GPD_READ_CHUNK);
        if (nRead < 0)
            result = EGpdLoad::Unreadable;
        else if (!reader.Feed(buffer.get(), size_t(nRead)))
            result = EGpdLoad::Incorrect;
        else if (nRead > 0 && progress && !progress(nDone += uint64_t(nRead), file.Size()))
            result = EGpdLoad::Cancelled;
        if (nRead <= 0 || result != EGpdLoad::Ok)
            break;
    }
    if (result == EGpdLoad::Ok && !reader.Finish())
        result = EGpdLoad::Incorrect;
    if (result != EGpdLoad::Ok)
        points.resize(nOld);
    return result;
}

bool OpenTrackFile(const QString& strPath, const CLoadProgress& progress)
{
    const QString strHostPath = HostPath(strPath);
    const EGpdLoad load =
        IsXmlTrackPath(strPath)
            ? LoadXmlTrackFile(strHostPath, theApp.m_nUtcCorrection, theApp.m_trackPoints, progress)
            : LoadGpdFile(strHostPath, theApp.m_trackPoints, progress);
    switch (load) {
    case EGpdLoad::Ok:
        return true;
    case EGpdLoad::Cancelled:
        return false;
    case EGpdLoad::Unreadable:
    case EGpdLoad::NotAFile:
    case EGpdLoad::InUse:
        ShowMessage(strPath);
        return false;
    case EGpdLoad::Incorrect:
        ShowMessage(QStringLiteral("Incorrect file"));
        return false;
    }
    return false;
}

bool WriteGpdFile(const QString& strPath, const CTrackPointList& points)
{
    const std::unique_ptr<CBufferedFile> file = CBufferedFile::Create(HostPath(strPath));
    if (!file) {
        ShowMessage(QStringLiteral("Error opening:") + strPath);
        return false;
    }
    bool bWritten = file->Write(GpdHeader(uint32_t(points.size()))) != CBufferedFile::EWrite::Failed;
    std::string record;
    for (auto it = points.begin(); bWritten && it != points.end(); ++it) {
        record.clear();
        it->AppendRecord(record);
        bWritten = file->Write(record) != CBufferedFile::EWrite::Failed;
    }
    if (file->Close() == CBufferedFile::EWrite::Failed)
        bWritten = false;
    if (!bWritten)
        ShowMessage(QStringLiteral("Error writing file"));
    return bWritten;
}

bool SaveTrackFile(const QString& strPath)
{
    if (strPath.indexOf(QStringLiteral(".kml"), 1) >= 0)
        return WriteKml(strPath, theApp.m_trackPoints, theApp.m_bKmlAltitude != 0);
    return WriteGpdFile(strPath, theApp.m_trackPoints);
}

bool WriteLogPoint(CGpsTracker& tracker, const CTrackPoint& point)
{
    if (!tracker.m_hLogFile)
        return false;
    if (point.WriteTrackPoint(*tracker.m_hLogFile)) {
        g_bLogWriteErrorShown = false;
        return true;
    }
    if (!g_bLogWriteErrorShown) {
        g_bLogWriteErrorShown = true;
        ShowMessage(QStringLiteral("Error writing file"));
    }
    return false;
}

void SetLogBaseOverride(const QString& strBase)
{
    g_strLogBaseOverride = strBase;
}

bool CGpsTracker::StartLog()
{
    // The name takes the time the command came, not the time the previous
    // log's KML copy was done.
    const QString strBase = g_strLogBaseOverride.isEmpty() ? DatedLogBase() : g_strLogBaseOverride;
    EndLog();
    m_strLogBase = strBase;
    std::unique_ptr<CLogFile> file = CreateLogFile(strBase, m_strLogBase);
    const std::string header = GpdHeader(0);
    if (file && !file->WriteRecord(header.data(), header.size())) {
        // A log without its header could never be read back.
        QFile::remove(file->HostPath());
        file.reset();
    }
    if (!file) {
        // Said once: a box every second would leave the user no way to act.
        if (!m_bLogStartFailShown) {
            m_bLogStartFailShown = true;
            ShowMessage(QStringLiteral("Kan logfile in \\Storage card\\GPS\\ niet openen"));
        }
        return false;
    }
    m_hLogFile = std::move(file);
    m_fLastLogCourse = GPD_START_COURSE;
    m_nSecsSinceLog = 0;
    m_nLogPoints = 0;
    g_bLogWriteErrorShown = false;
    m_bLogStartFailShown = false;
    return true;
}

bool StartLogCommand(CGpsTracker& tracker)
{
    tracker.m_bLogStartFailShown = false;
    return tracker.StartLog();
}

int64_t LogFilePoints(const CGpsTracker& tracker)
{
    return tracker.m_hLogFile ? std::max<int64_t>(tracker.m_hLogFile->Records() - 1, 0) : 0;
}

bool CGpsTracker::EndLog()
{
    if (!m_hLogFile)
        return false;
    m_hLogFile.reset();
    WriteKml(m_strLogBase + QStringLiteral(".kml"), theApp.m_trackPoints, theApp.m_bKmlAltitude != 0);
    return true;
}
