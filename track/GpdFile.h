#pragma once

#include "track/CTrackPoint.h"
#include "track/LoadProgress.h"

#include <QString>
#include <cstddef>
#include <string>

class CGpsTracker;

// The GPD track file: the signature "GPD\r\n\x1A", a 32-bit record count (0
// in a log) and one record per point up to the end of the file.
constexpr size_t GPD_HEADER_SIZE = 10;
constexpr size_t GPD_RECORD_SIZE = 28;   // a point without a name

enum class EGpdLoad
{
    Ok,
    Unreadable,   // cannot be opened or read; errno says why
    NotAFile,     // a FIFO, a device or a directory
    InUse,        // a running log holds it
    Incorrect,    // not a GPD file
    Cancelled,    // the progress function stopped the reading
};

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

class CInputFile;

// Opens a track for reading: only a regular file that no running log holds.
EGpdLoad OpenTrackInput(CInputFile& file, const QString& strHostPath);

// Reads a GPD file at a host path into points, streamed in small pieces.
// Anything but Ok leaves points unchanged.
EGpdLoad LoadGpdFile(const QString& strHostPath, CTrackPointList& points, const CLoadProgress& progress = {});

// File Open: appends the file's points (GPD, or GPX or KML by the name's
// extension) to theApp.m_trackPoints. An unreadable
// file shows its path, a file of another kind "Incorrect file"; a cancelled
// one nothing, and the list stays as it was.
bool OpenTrackFile(const QString& strPath, const CLoadProgress& progress = {});

// Writes points as a GPD file with its count, replacing an existing file.
// Shows "Error opening:" and the path, or "Error writing file", on failure.
bool WriteGpdFile(const QString& strPath, const CTrackPointList& points);

// File Save: theApp.m_trackPoints as KML when ".kml" appears in the path
// after its first character, otherwise as GPD.
bool SaveTrackFile(const QString& strPath);

// The Start Log command: unlike the first stored point, which opens a log by
// itself and reports a failure only once until a log starts, the user's own
// command always says when the log cannot be started.
bool StartLogCommand(CGpsTracker& tracker);

// Points the open log file holds (its whole records); 0 without a log.
int64_t LogFilePoints(const CGpsTracker& tracker);

// Appends a point to the open log of the tracker. A failed write shows
// "Error writing file" once until a record is written again; the log stays
// open and still ends on a whole record.
bool WriteLogPoint(CGpsTracker& tracker, const CTrackPoint& point);

// Makes StartLog use this base (path without extension) instead of the
// dated name on the storage card; an empty base restores the dated name.
void SetLogBaseOverride(const QString& strBase);
