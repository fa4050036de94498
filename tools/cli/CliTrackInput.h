#pragma once

#include "track/CTrackPoint.h"

// Reads a GPD track, or a GPX or KML one by its extension (times with the
// "Utc" correction of theApp), for a command; on failure prints why, naming
// the command and the file, and returns false.
bool LoadCliTrack(const char* pszCommand, const char* pszPath, CTrackPointList& points);
