#pragma once

#include "track/CTrackPoint.h"

#include <QString>
#include <cstddef>

class CGpsTracker;

// The GPD track file: the signature "GPD\r\n\x1A", a 32-bit record count (0
// in a log) and one record per point up to the end of the file.
constexpr size_t GPD_HEADER_SIZE = 10;
constexpr size_t GPD_RECORD_SIZE = 28;   // a point without a name

enum class EGpdLoad { Ok, Unreadable, Incorrect };

// Appends the complete records of a GPD image to points. A record that the
// end cuts short is left out. False, with points unchanged, when the image is
// not a GPD file (shorter than the header, or byte 5 is not 0x1A).
bool ReadGpd(const char* pData, size_t nSize, CTrackPointList& points);

// Reads a GPD file at a host path into points.
EGpdLoad LoadGpdFile(const QString& strHostPath, CTrackPointList& points);

// File Open: appends the file's points to theApp.m_trackPoints. An unreadable
// file shows its path, a file of another kind "Incorrect file".
bool OpenTrackFile(const QString& strPath);

// Writes points as a GPD file with its count, replacing an existing file.
// Shows "Error opening:" and the path, or "Error writing file", on failure.
bool WriteGpdFile(const QString& strPath, const CTrackPointList& points);

// File Save: theApp.m_trackPoints as KML when ".kml" appears in the path
// after its first character, otherwise as GPD.
bool SaveTrackFile(const QString& strPath);

// Appends a point to the open log of the tracker. A failed write shows
// "Error writing file" once until a record is written again; the log stays
// open and still ends on a whole record.
bool WriteLogPoint(CGpsTracker& tracker, const CTrackPoint& point);

// Makes StartLog use this base (path without extension) instead of the
// dated name on the storage card; an empty base restores the dated name.
void SetLogBaseOverride(const QString& strBase);
