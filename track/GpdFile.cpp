#include "track/GpdFile.h"

#include "platform/BufferedFile.h"
#include "platform/DevicePaths.h"
#include "platform/InputFile.h"
#include "track/TrackInput.h"

#include <QRegularExpression>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

const char GPD_SIGNATURE[] = {0x47, 0x50, 0x44, 0x0D, 0x0A, 0x1A};
constexpr size_t GPD_SIGNATURE_SIZE = sizeof GPD_SIGNATURE;
constexpr size_t GPD_VALUES_SIZE = GPD_RECORD_SIZE - 1;
constexpr size_t GPD_READ_CHUNK = 64 * 1024;
constexpr size_t GPD_FLOAT_COUNT = 6;
constexpr int GPD_DAY_SECONDS = 24 * 3600;
// A time of day further back than this is the next day's.
constexpr int GPD_DAY_TURN_SECONDS = 12 * 3600;

float ReadFloat(const unsigned char* p)
{
    return std::bit_cast<float>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16
                                | uint32_t(p[3]) << 24);
}

// The second of the day of a record's time fields; none for a time no clock shows.
std::optional<int> DaySecond(const CTrackPoint& point)
{
    if (point.m_byHour > 23 || point.m_byMinute > 59 || point.m_bySecond > 60)
        return std::nullopt;
    return point.m_byHour * 3600 + point.m_byMinute * 60 + point.m_bySecond;
}

}

std::optional<int64_t> GpdNameTime(const QString& strPath)
{
    static const QRegularExpression LOG_NAME(QStringLiteral("^GPSLog_(\\d{4})-(\\d{2})-(\\d{2})_(\\d{2})(\\d{2})"));
    // Either separator: a path in the program's form or a host path.
    const QString strName = strPath.mid(std::max(strPath.lastIndexOf(u'/'), strPath.lastIndexOf(u'\\')) + 1);
    const QRegularExpressionMatch match = LOG_NAME.match(strName);
    if (!match.hasMatch())
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year(match.captured(1).toInt()), month(match.captured(2).toUInt()),
                              day(match.captured(3).toUInt())};
    const int nHour = match.captured(4).toInt();
    const int nMinute = match.captured(5).toInt();
    if (!date.ok() || nHour > 23 || nMinute > 59)
        return std::nullopt;
    return int64_t{sys_days(date).time_since_epoch().count()} * GPD_DAY_SECONDS + nHour * 3600 + nMinute * 60;
}

CGpdReader::CGpdReader(CTrackPointList& points, std::optional<int64_t> nLocalStart, int nUtcCorrection)
    : m_points(points)
    , m_nUtcOffset(int64_t{nUtcCorrection} * 3600)
{
    if (nLocalStart) {
        m_nLocalDay = *nLocalStart - (*nLocalStart % GPD_DAY_SECONDS + GPD_DAY_SECONDS) % GPD_DAY_SECONDS;
        m_nLastSecond = int(*nLocalStart - *m_nLocalDay);
    }
}

std::string GpdHeader(uint32_t nCount)
{
    std::string header(GPD_SIGNATURE, GPD_SIGNATURE_SIZE);
    for (int i = 0; i < 4; ++i)
        header.push_back(char(nCount >> (8 * i)));
    return header;
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
        if (!IsUsable(p)) {
            ++m_nSkipped;
            p = pZero + 1;
            continue;
        }
        CTrackPoint& point = m_points.emplace_back();
        point.m_bSegmentStart = std::exchange(m_bFirst, false);
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
        SetDate(point);
        p = pZero + 1;
    }
    return size_t(p - pData);
}

bool CGpdReader::IsUsable(const unsigned char* pRecord) const
{
    float afValues[GPD_FLOAT_COUNT];
    for (size_t i = 0; i < GPD_FLOAT_COUNT; ++i) {
        afValues[i] = ReadFloat(pRecord + 4 * i);
        if (!std::isfinite(afValues[i]))
            return false;
    }
    const bool bTorn = std::all_of(pRecord, pRecord + GPD_VALUES_SIZE, [](unsigned char by) { return by == 0; });
    return !bTorn && IsOnGlobe(afValues[0], afValues[1]);
}

void CGpdReader::SetDate(CTrackPoint& point)
{
    const std::optional<int> nSecond = DaySecond(point);
    if (!m_nLocalDay || !nSecond)
        return;
    if (*nSecond < m_nLastSecond - GPD_DAY_TURN_SECONDS)
        *m_nLocalDay += GPD_DAY_SECONDS;
    m_nLastSecond = *nSecond;
    point.SetUtcTime(*m_nLocalDay + *nSecond - m_nUtcOffset);
}

bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points, size_t& nSkipped)
{
    CGpdReader reader(points);
    const bool bRead = reader.Feed(pData, nSize) && reader.Finish();
    nSkipped += reader.Skipped();
    return bRead;
}

bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points)
{
    size_t nSkipped = 0;
    return ReadGpd(pData, nSize, points, nSkipped);
}

namespace {

// Feeds an open file to the reader from its start, piece by piece, calling
// afterPiece (when set) after each.
COutcome FeedGpdFile(CInputFile& file, const QString& strPath, CGpdReader& reader, const CLoadProgress& progress,
                     const std::function<void()>& afterPiece)
{
    const std::unique_ptr<char[]> buffer(new char[GPD_READ_CHUNK]);
    COutcome result;
    uint64_t nDone = 0;
    for (;;) {
        const ptrdiff_t nRead = file.ReadAt(nDone, buffer.get(), GPD_READ_CHUNK);
        if (nRead < 0)
            result = TrackReadFailure(EOutcome::Failed, strPath, errno);
        else if (!reader.Feed(buffer.get(), size_t(nRead)))
            result = TrackReadFailure(EOutcome::Incorrect, strPath);
        else if (nRead > 0 && progress && !progress(nDone + uint64_t(nRead), file.Size()))
            result = TrackReadFailure(EOutcome::Cancelled, strPath);
        if (nRead <= 0 || !result)
            break;
        nDone += uint64_t(nRead);
        if (afterPiece)
            afterPiece();
    }
    if (result && !reader.Finish())
        result = TrackReadFailure(EOutcome::Incorrect, strPath);
    return result;
}

}

COutcome LoadGpdFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                     const CLoadProgress& progress)
{
    CInputFile file;
    if (COutcome opened = OpenTrackInput(file, strPath); !opened)
        return opened;
    const size_t nOld = points.size();
    CGpdReader reader(points, GpdNameTime(strPath), nUtcCorrection);
    const COutcome result = FeedGpdFile(file, strPath, reader, progress, {});
    if (!result)
        points.resize(nOld);
    else
        nSkipped += reader.Skipped();
    return result;
}

COutcome WalkGpdFile(CInputFile& file, const QString& strPath, const CTrackPointVisit& visit, size_t& nSkipped)
{
    CTrackPointList piece;
    CGpdReader reader(piece);
    const auto handOn = [&piece, &visit] {
        for (const CTrackPoint& point : piece)
            visit(point);
        piece.clear();
    };
    const COutcome result = FeedGpdFile(file, strPath, reader, {}, handOn);
    nSkipped += reader.Skipped();
    return result;
}

COutcome WriteGpdFile(const QString& strPath, const CTrackPointList& points)
{
    const std::unique_ptr<CBufferedFile> file = CBufferedFile::Create(HostPath(strPath));
    if (!file)
        return COutcome::Fail(QStringLiteral("Error opening:") + strPath, errno);
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
        return COutcome::Fail(QStringLiteral("Error writing file"), errno);
    return COutcome::Ok();
}

