#pragma once

#include "platform/BufferedFile.h"
#include "platform/Outcome.h"
#include "track/CTrackPoint.h"

#include <QString>

// Writes the points as a KML 2.1 document at a path in the program's form
// (the path is also the document's name): the track as line strings, a new
// one on each change of hour, then pushpins for named points and the first
// point of each hour. The third coordinate is the altitude, or the speed
// scaled when bKmlAltitude is set. Fails with "Error opening:" and the path
// when the file cannot be created, with "Error writing file" when any part
// of the document could not be written.
COutcome WriteKml(const QString& strPath, const CTrackPointList& points, bool bKmlAltitude);

// Walks a track's points in order, handing each to the visit; a failure
// stops the walk and is returned.
using CTrackPointWalk = std::function<COutcome(const CTrackPointVisit&)>;

// WriteKml for a track that is not in memory, such as a log on disk: the
// walk is taken twice, for the line strings and then for the pushpins, and
// only the pieces of the document are held, however long the track. A
// failed walk leaves the target as it was and is returned.
COutcome WriteKmlWalk(const QString& strPath, const CTrackPointWalk& walk, bool bKmlAltitude,
                      CBufferedFile::ETarget eTarget);
