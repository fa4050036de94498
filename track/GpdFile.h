#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/LoadProgress.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>

// The GPD track file: the signature "GPD\r\n\x1A", a 32-bit record count (0
// in a log) and one record per point up to the end of the file.
constexpr size_t GPD_HEADER_SIZE = 10;
constexpr size_t GPD_RECORD_SIZE = 28;   // a point without a name

// Reads a GPD image piece by piece, as it comes from a file, appending each
// complete record to points; only a record cut at the piece's end is held.
class CGpdReader
{
public:
    explicit CGpdReader(CTrackPointList& points) : m_points(points) {}

    // False once the header shows that the data is not a GPD file (byte 5 is
    // not 0x1A); nothing is appended then.
    bool Feed(const char* pData, size_t nSize);
    // True when the data held a GPD header; a record the end cut short is
    // left out.
    bool Finish() const { return m_bHeaderRead; }

private:
    bool TakePending(const char*& pData, size_t& nSize, size_t nWanted);
    bool FinishPending(const char*& pData, size_t& nSize);
    size_t ReadRecords(const unsigned char* pData, size_t nSize);

    CTrackPointList& m_points;
    std::string m_pending;   // the header, or a record cut at a piece's end
    bool m_bHeaderRead = false;
};

// Appends the complete records of a GPD image to points. A record that the
// end cuts short is left out. False, with points unchanged, when the image is
// not a GPD file (shorter than the header, or byte 5 is not 0x1A).
bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points);

// Reads a GPD file at a path in the program's form into points, streamed in
// small pieces. A failure (see TrackReadFailure) leaves points unchanged.
COutcome LoadGpdFile(const QString& strPath, CTrackPointList& points, const CLoadProgress& progress = {});

// Writes points as a GPD file with its count, replacing an existing file.
// Fails with "Error opening:" and the path, or "Error writing file".
COutcome WriteGpdFile(const QString& strPath, const CTrackPointList& points);

// The header of a GPD file holding nCount records (0 in a log).
std::string GpdHeader(uint32_t nCount);
