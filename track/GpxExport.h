#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"

#include <QString>

// Writes the points as a GPX 1.1 document: named points as waypoints, then
// one track with a segment for each hour, split where the KML track splits.
// Fails with "Error opening:" and the path, or "Error writing file".
COutcome WriteGpx(const QString& strPath, const CTrackPointList& points);
