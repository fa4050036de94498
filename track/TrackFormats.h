#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/GpdFile.h"
#include "track/LoadProgress.h"

#include <QString>
#include <span>

// One track format: the suffix that names it, how File Open and File Save
// list it, and its reader and writer, both taking the path in the program's
// form. Readers append to the points (unchanged on a failure, see
// TrackReadFailure), adding the points they leave out as unusable to
// nSkipped and telling their progress; times of a format that carries UTC
// times get nUtcCorrection hours.
struct CTrackFormat
{
    const char* szSuffix;        // ".gpd"
    const char* szKind;          // "GPD", what the reader takes, as the tools name it
    const char* szOpenFilter;    // "GPS trackdata (*.gpd)"
    const char* szSaveFilter;
    COutcome (*pfnRead)(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                        const CLoadProgress& progress);
    COutcome (*pfnWrite)(const QString& strPath, const CTrackPointList& points, bool bKmlAltitude);
};

// Every format, in the order the file dialogs list them, GPD first.
std::span<const CTrackFormat> TrackFormats();

// The format whose suffix ends the file name (compared ignoring case); null
// when none does.
const CTrackFormat* FindTrackFormat(const QString& strPath);

// The format of a file for File Open, File Save and the tools: by its
// suffix, GPD when it has none of theirs.
const CTrackFormat& TrackFormatOf(const QString& strPath);

// Reads a track file at a path in the program's form in its format, adding
// the points left out to nSkipped; the window does not name them. Memory
// that runs out on the way is a failure too (NoMemory, see TrackNoMemory),
// the points as they were: the one place that catches it for every reader.
COutcome ReadTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                       const CLoadProgress& progress = {});
COutcome ReadTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points,
                       const CLoadProgress& progress = {});

// Writes the points to a path in the program's form in its format.
COutcome WriteTrackFile(const QString& strPath, const CTrackPointList& points, bool bKmlAltitude);
