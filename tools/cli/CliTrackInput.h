#pragma once

#include "track/CTrackPoint.h"

// Reads a GPD track for a command; on failure prints why, naming the command
// and the file, and returns false.
bool LoadCliTrack(const char* pszCommand, const char* pszPath, CTrackPointList& points);
