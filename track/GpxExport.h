#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"

#include <QString>

// Writes the points as a GPX 1.1 document: named points as waypoints, then
// one track with a trkseg for each segment of the list. Every point that has
// a UTC time gets its <time>.
// Fails with "Error opening:" and the path, or "Error writing file".
COutcome WriteGpx(const QString& strPath, const CTrackPointList& points);
