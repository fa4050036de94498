#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/LoadProgress.h"

#include <QString>
#include <cstdint>

constexpr uint64_t XML_SPLIT_MIN_BYTES = 8 << 20;

class QIODevice;

// GPX 1.0/1.1 and KML tracks, read by expat piece by piece so that a file of
// any size needs memory only for its points and a buffer of bounded size.
//
// GPX: track points, route points and waypoints in document order; a
// waypoint becomes a placemark with its name. KML: the coordinates of every
// LineString and gx:Track, and the Point of each Placemark with the
// Placemark's name. Times are taken from the file where it has them, with
// their dates, the times of day as UTC plus nUtcCorrection hours; elevations
// become altitudes; speed (GPX 1.0's metres per second, stored in knots),
// course and HDOP are 0 where the file has none (m_bNoSpeed says so for the
// speed). Segments begin at the file's first point, each GPX trkseg and rte,
// each KML LineString and gx:Track; a waypoint or a Placemark's Point is a
// segment of its own.
//
// False, with points unchanged, for anything else: a document that is not
// well-formed, another root element, a point without valid coordinates,
// nesting beyond any real track, a DTD that declares entities, or a tag,
// comment or DTD that runs on for a megabyte. A point whose position is off
// the globe, or whose value does not fit a float, is left out and counted in
// nSkipped.
bool ReadXmlTrack(QIODevice& device, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped);

// Reads a GPX or KML file at a path in the program's form; only a regular
// file that no running log holds is read. A failure (see TrackReadFailure)
// leaves points unchanged. A GPX file of XML_SPLIT_MIN_BYTES or more is read
// in two halves at once where it can be, with the same result.
COutcome LoadXmlTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                          const CLoadProgress& progress = {});
