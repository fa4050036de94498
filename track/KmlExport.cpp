#include "track/KmlExport.h"

#include "gps/TrackerSettings.h"
#include "platform/BufferedFile.h"
#include "platform/DevicePaths.h"
#include "track/XmlText.h"

#include <cerrno>
#include <optional>
#include <string>

namespace {

constexpr double KML_SPEED_HEIGHT = 18.152;   // metres of track height per knot
constexpr int KML_NO_HOUR = 25;

const char KML_HEAD[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                        "<kml xmlns=\"http://earth.google.com/kml/2.1\">\n<Document>\n<name>";
const char KML_STYLES[] =
    "<description>GpsTrack collected with Wayfen on mobile. </description>\n"
    "<Style id=\"yellowLineGreenPoly\"><LineStyle><color>7f00ffff</color><width>4</width>"
    "</LineStyle><PolyStyle><color>7f00ff00</color></PolyStyle></Style>\n"
    "<Style id=\"yellowLineBluePoly\"><LineStyle><color>7f00ffff</color><width>4</width>"
    "</LineStyle><PolyStyle><color>7f0000ff</color></PolyStyle></Style>\n";
const char KML_STYLE_SPEED[] = "<styleUrl>#yellowLineGreenPoly</styleUrl>\n";
const char KML_STYLE_ALTITUDE[] = "<styleUrl>#yellowLineBluePoly</styleUrl>\n";
const char KML_LINE_HEAD[] = "<LineString><extrude>1</extrude><tessellate>1</tessellate>"
                             "<altitudeMode>absolute</altitudeMode>\n<coordinates>\n";
const char KML_TRACK_END[] = "</coordinates></LineString></Placemark>";
const char KML_LOOK_AT_END[] = "<range>1000.00</range><tilt>66.66</tilt>\n"
                               "<heading>5.164</heading></LookAt>"
                               "<styleUrl>#msn_ylw-pushpin_copy1</styleUrl>\n";
const char KML_END[] = "</Document></kml>\n";

// Writes the document piece by piece. A piece reaches the buffered file in
// one call; any failing write makes the whole document a failure.
class CKmlDocument
{
public:
    CKmlDocument(CBufferedFile& file, bool bKmlAltitude)
        : m_file(file)
        , m_bKmlAltitude(bKmlAltitude)
    {
    }

    COutcome Write(const QString& strPath, const CTrackPointWalk& walk);

private:
    void WriteKmlText();
    void Report(CBufferedFile::EWrite result);
    void TrackHead();
    void Coordinate(const CTrackPoint& point);
    void Pushpin(const CTrackPoint& point);

    CBufferedFile& m_file;
    bool m_bKmlAltitude;
    int m_nWriteError = 0;   // errno of the first failed write
    bool m_bWriteFailed = false;
    int m_nTrack = 0;
    std::optional<int> m_nHour;   // of the track being written; none before the first point
    int m_nPinHour = KML_NO_HOUR;
    std::string m_piece;
};

void CKmlDocument::Report(CBufferedFile::EWrite result)
{
    if (result == CBufferedFile::EWrite::Failed && !m_bWriteFailed) {
        m_bWriteFailed = true;
        m_nWriteError = errno;
    }
}

void CKmlDocument::WriteKmlText()
{
    Report(m_file.Write(m_piece));
    m_piece.clear();
}

void CKmlDocument::TrackHead()
{
    m_piece += "<Placemark><name>Track";
    AppendInt(m_piece, ++m_nTrack);
    m_piece += "</name><description> </description>";
    m_piece += m_bKmlAltitude ? KML_STYLE_SPEED : KML_STYLE_ALTITUDE;
    m_piece += KML_LINE_HEAD;
    WriteKmlText();
}

void CKmlDocument::Pushpin(const CTrackPoint& point)
{
    const double dSpeed = point.m_fSpeed;
    m_piece += "<Placemark><name>";
    AppendXmlText(m_piece, point.m_strName);
    m_piece += ' ';
    AppendInt(m_piece, point.m_byHour);
    m_piece += ':';
    AppendInt(m_piece, point.m_byMinute, true);
    m_piece += "</name>\n<description>";
    AppendInt(m_piece, point.m_byHour);
    m_piece += ':';
    AppendInt(m_piece, point.m_byMinute, true);
    m_piece += ' ';
    AppendXmlText(m_piece, point.m_strName);
    m_piece += "  Speed:";
    AppendFixed(m_piece, dSpeed);
    m_piece += " knots = ";
    AppendFixed(m_piece, dSpeed * UNIT_KMH_PER_KNOT);
    m_piece += " kmh</description>\n";
    WriteKmlText();

    m_piece += "<LookAt><longitude>";
    AppendFixed(m_piece, point.m_fLongitude);
    m_piece += "</longitude><latitude>";
    AppendFixed(m_piece, point.m_fLatitude);
    m_piece += "</latitude><altitude>";
    AppendFixed(m_piece, point.m_fAltitude);
    m_piece += "</altitude>\n";
    m_piece += KML_LOOK_AT_END;
    WriteKmlText();

    m_piece += "<Point><coordinates>";
    AppendFixed(m_piece, point.m_fLongitude);
    m_piece += ',';
    AppendFixed(m_piece, point.m_fLatitude);
    m_piece += ",0</coordinates></Point></Placemark>";
    WriteKmlText();
}

// The point where the hour changes ends the old track; the next one starts
// the new track.
void CKmlDocument::Coordinate(const CTrackPoint& point)
{
    if (!m_nHour)
        m_nHour = point.m_byHour;
    AppendFixed(m_piece, point.m_fLongitude);
    m_piece += ',';
    AppendFixed(m_piece, point.m_fLatitude);
    m_piece += ',';
    AppendFixed(m_piece, m_bKmlAltitude ? point.m_fSpeed * KML_SPEED_HEIGHT : double(point.m_fAltitude));
    m_piece += '\n';
    WriteKmlText();
    if (point.m_byHour != *m_nHour) {
        m_piece += KML_TRACK_END;
        WriteKmlText();
        TrackHead();
        m_nHour = point.m_byHour;
    }
}

COutcome CKmlDocument::Write(const QString& strPath, const CTrackPointWalk& walk)
{
    m_piece += KML_HEAD;
    AppendXmlText(m_piece, strPath);
    m_piece += "</name>\n";
    WriteKmlText();
    m_piece += KML_STYLES;
    WriteKmlText();
    TrackHead();

    if (COutcome walked = walk([this](const CTrackPoint& point) { Coordinate(point); }); !walked)
        return walked;
    m_piece += KML_TRACK_END;
    WriteKmlText();

    const COutcome walked = walk([this](const CTrackPoint& point) {
        if (point.m_strName.isEmpty() && point.m_byHour == m_nPinHour)
            return;
        m_nPinHour = point.m_byHour;
        Pushpin(point);
    });
    if (!walked)
        return walked;

    m_piece += KML_END;
    WriteKmlText();
    Report(m_file.Close());
    if (m_bWriteFailed)
        return COutcome::Fail(QStringLiteral("Error writing file"), m_nWriteError);
    return COutcome::Ok();
}

}

COutcome WriteKml(const QString& strPath, const CTrackPointList& points, bool bKmlAltitude)
{
    const CTrackPointWalk walk = [&points](const CTrackPointVisit& visit) {
        for (const CTrackPoint& point : points)
            visit(point);
        return COutcome::Ok();
    };
    return WriteKmlWalk(strPath, walk, bKmlAltitude, CBufferedFile::ETarget::Chosen);
}

COutcome WriteKmlWalk(const QString& strPath, const CTrackPointWalk& walk, bool bKmlAltitude,
                      CBufferedFile::ETarget eTarget)
{
    const std::unique_ptr<CBufferedFile> file = CBufferedFile::Create(HostPath(strPath), eTarget);
    if (!file)
        return COutcome::Fail(QStringLiteral("Error opening:") + strPath, errno);
    return CKmlDocument(*file, bKmlAltitude).Write(strPath, walk);
}
