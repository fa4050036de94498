#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/LoadProgress.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CInputFile;

// The GPD track file: the signature "GPD\r\n\x1A", a 32-bit record count (0
// in a log) and one record per point up to the end of the file.
constexpr size_t GPD_HEADER_SIZE = 10;
constexpr size_t GPD_RECORD_SIZE = 28;   // a point without a name

// The local date and time a log's name carries (GPSLog_YYYY-MM-DD_HHMM...),
// as seconds since 1970 read as if it were UTC; none for another name.
std::optional<int64_t> GpdNameTime(const QString& strPath);

// Reads a GPD image piece by piece, as it comes from a file, appending each
// complete record to points; only a record cut at the piece's end is held.
// A record that no fix can be (a value that is no number, a position off the
// globe, or all its values zero, as a torn write leaves them) is left out
// and counted. The first point appended starts a segment.
class CGpdReader
{
public:
    // With nLocalStart (see GpdNameTime), the points get dates: their times
    // of day in order from that time on, a day later whenever the time goes
    // back by more than 12 hours, made UTC by nUtcCorrection hours.
    explicit CGpdReader(CTrackPointList& points, std::optional<int64_t> nLocalStart = std::nullopt,
                        int nUtcCorrection = 0);

    // False once the header shows that the data is not a GPD file (byte 5 is
    // not 0x1A); nothing is appended then.
    bool Feed(const char* pData, size_t nSize);
    // True when the data held a GPD header; a record the end cut short is
    // left out.
    bool Finish() const { return m_bHeaderRead; }
    // Records left out so far.
    size_t Skipped() const { return m_nSkipped; }

private:
    bool TakePending(const char*& pData, size_t& nSize, size_t nWanted);
    bool FinishPending(const char*& pData, size_t& nSize);
    size_t ReadRecords(const unsigned char* pData, size_t nSize);
    bool IsUsable(const unsigned char* pRecord) const;
    void SetDate(CTrackPoint& point);

    CTrackPointList& m_points;
    std::string m_pending;   // the header, or a record cut at a piece's end
    bool m_bHeaderRead = false;
    bool m_bFirst = true;
    size_t m_nSkipped = 0;
    std::optional<int64_t> m_nLocalDay;   // the day of the last point, local, seconds since 1970
    int m_nLastSecond = 0;                // its second of the day
    int64_t m_nUtcOffset = 0;             // seconds from UTC to the points' times
};

// Appends the complete records of a GPD image to points, without dates;
// records left out are added to nSkipped. A record that the end cuts short
// is left out. False, with points unchanged, when the image is not a GPD
// file (shorter than the header, or byte 5 is not 0x1A).
bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points, size_t& nSkipped);
bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points);

// Reads a GPD file at a path in the program's form into points, streamed in
// small pieces, dated by a log's name (see CGpdReader) and adding the
// records left out to nSkipped. A failure (see TrackReadFailure) leaves
// points unchanged.
COutcome LoadGpdFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                     const CLoadProgress& progress = {});

// Walks the records of a GPD file opened at a path in the program's form
// (see OpenTrackInput) from its start, handing each usable point to the
// visit, without dates; records left out are added to nSkipped. Only a
// piece of the file and the record being read are held, whatever its size.
// Fails as LoadGpdFile does, after the points before the failure.
COutcome WalkGpdFile(CInputFile& file, const QString& strPath, const CTrackPointVisit& visit, size_t& nSkipped);

// Writes points as a GPD file with its count, replacing an existing file.
// Fails with "Error opening:" and the path, or "Error writing file".
COutcome WriteGpdFile(const QString& strPath, const CTrackPointList& points);

// The header of a GPD file holding nCount records (0 in a log).
std::string GpdHeader(uint32_t nCount);
