#pragma once

#include "track/CTrackPoint.h"
#include "track/GpdFile.h"

#include <QString>

class QIODevice;

// GPX 1.0/1.1 and KML tracks, read token by token so that a file of any size
// needs memory only for its points.
//
// GPX: track points, route points and waypoints in document order; a
// waypoint becomes a placemark with its name. KML: the coordinates of every
// LineString and gx:Track, and the Point of each Placemark with the
// Placemark's name. Times are taken from the file where it has them, as UTC
// plus nUtcCorrection hours; elevations become altitudes; speed (GPX 1.0's
// metres per second, stored in knots), course and HDOP are 0 where the file
// has none. A point off the globe (latitude beyond 90, longitude beyond 180)
// or with an elevation, speed, course or HDOP no float holds is left out and
// added to nSkipped.
//
// False, with points unchanged, for anything else: a document that is not
// well-formed, another root element, a point whose coordinates are not
// numbers, nesting beyond any real track, or a DTD that declares entities.
bool ReadXmlTrack(QIODevice& device, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped);

// Reads a GPX or KML file at a host path; only a regular file that no running
// log holds is read. Anything but Ok leaves points unchanged.
ETrackLoad LoadXmlTrackFile(const QString& strHostPath, int nUtcCorrection, CTrackPointList& points,
                            size_t& nSkipped);
