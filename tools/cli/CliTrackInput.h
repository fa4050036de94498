#pragma once

#include "track/CTrackPoint.h"

// Reads a track in the format its suffix names (GPD when none does), with
// nUtcCorrection hours added to the UTC times of GPX and KML, for a command;
// on failure prints why, naming the command and the file, and returns false.
// Points the file holds but no track can use are counted in nSkipped.
bool LoadCliTrack(const char* pszCommand, const char* pszPath, int nUtcCorrection, CTrackPointList& points,
                  size_t& nSkipped);
