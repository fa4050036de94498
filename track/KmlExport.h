#pragma once

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
