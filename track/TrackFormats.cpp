#include "track/TrackFormats.h"

#include "track/GpxExport.h"
#include "track/KmlExport.h"
#include "track/TrackInput.h"
#include "track/XmlTrackReader.h"

#include <algorithm>
#include <new>

namespace {

COutcome WriteGpd(const QString& strPath, const CTrackPointList& points, bool)
{
    return WriteGpdFile(strPath, points);
}

COutcome WriteGpxTrack(const QString& strPath, const CTrackPointList& points, bool)
{
    return WriteGpx(strPath, points);
}

const CTrackFormat TRACK_FORMATS[] = {
    {".gpd", "GPD", "GPS trackdata (*.gpd)", "GPS trackdata (*.gpd)", LoadGpdFile, WriteGpd},
    // One reader takes both XML formats, whichever the suffix says.
    {".kml", "GPX or KML", "KML files (*.kml)", "Google track (*.kml)", LoadXmlTrackFile, WriteKml},
    {".gpx", "GPX or KML", "GPX files (*.gpx)", "GPS exchange (*.gpx)", LoadXmlTrackFile,
     WriteGpxTrack},
};

}

std::span<const CTrackFormat> TrackFormats()
{
    return TRACK_FORMATS;
}

const CTrackFormat* FindTrackFormat(const QString& strPath)
{
    const auto it = std::find_if(std::begin(TRACK_FORMATS), std::end(TRACK_FORMATS), [&strPath](const CTrackFormat& f) {
        return strPath.endsWith(QLatin1String(f.szSuffix), Qt::CaseInsensitive);
    });
    return it == std::end(TRACK_FORMATS) ? nullptr : &*it;
}

const CTrackFormat& TrackFormatOf(const QString& strPath)
{
    const CTrackFormat* pFormat = FindTrackFormat(strPath);
    return pFormat ? *pFormat : TRACK_FORMATS[0];
}

COutcome ReadTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped,
                       const CLoadProgress& progress)
{
    const size_t nOld = points.size();
    try {
        return TrackFormatOf(strPath).pfnRead(strPath, nUtcCorrection, points, nSkipped, progress);
    } catch (const std::bad_alloc&) {
        // Shrinking a deque frees blocks and allocates none.
        points.resize(nOld);
        return TrackNoMemory(strPath);
    }
}

COutcome ReadTrackFile(const QString& strPath, int nUtcCorrection, CTrackPointList& points,
                       const CLoadProgress& progress)
{
    size_t nSkipped = 0;
    return ReadTrackFile(strPath, nUtcCorrection, points, nSkipped, progress);
}

COutcome WriteTrackFile(const QString& strPath, const CTrackPointList& points, bool bKmlAltitude)
{
    return TrackFormatOf(strPath).pfnWrite(strPath, points, bKmlAltitude);
}
