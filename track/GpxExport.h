#pragma once

#include "track/CTrackPoint.h"

#include <QString>

// Writes the points as a GPX 1.1 document: named points as waypoints, then
// one track with a segment for each hour, split where the KML track splits.
// Shows "Error opening:" and the path, or "Error writing file", on failure.
bool WriteGpx(const QString& strPath, const CTrackPointList& points);
