#include "track/GpxExport.h"

#include "platform/BufferedFile.h"
#include "platform/DevicePaths.h"
#include "track/XmlText.h"

#include <cerrno>

namespace {

const char GPX_HEAD[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<gpx version=\"1.1\" creator=\"veltrip\" "
                        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
const char GPX_SEGMENT_END[] = "</trkseg>\n";

void AppendPosition(std::string& strOut, const char* pszTag, const CTrackPoint& point)
{
    strOut += '<';
    strOut += pszTag;
    strOut += " lat=\"";
    AppendFixed(strOut, point.m_fLatitude);
    strOut += "\" lon=\"";
    AppendFixed(strOut, point.m_fLongitude);
    strOut += "\"><ele>";
    AppendFixed(strOut, point.m_fAltitude);
    strOut += "</ele>";
}

}

COutcome WriteGpx(const QString& strPath, const CTrackPointList& points)
{
    const std::unique_ptr<CBufferedFile> file = CBufferedFile::Create(HostPath(strPath));
    if (!file)
        return COutcome::Fail(QStringLiteral("Error opening:") + strPath, errno);
    bool bWritten = true;
    std::string piece = GPX_HEAD;
    auto flush = [&] {
        if (file->Write(piece) == CBufferedFile::EWrite::Failed)
            bWritten = false;
        piece.clear();
    };

    // GPX puts the waypoints before the tracks.
    for (const CTrackPoint& point : points) {
        if (point.m_strName.isEmpty())
            continue;
        AppendPosition(piece, "wpt", point);
        piece += "<name>";
        AppendXmlText(piece, point.m_strName);
        piece += "</name></wpt>\n";
        flush();
    }

    piece += "<trk><name>";
    AppendXmlText(piece, strPath);
    piece += "</name>\n<trkseg>\n";
    int nHour = points.empty() ? 0 : points.front().m_byHour;
    for (const CTrackPoint& point : points) {
        AppendPosition(piece, "trkpt", point);
        piece += "</trkpt>\n";
        if (point.m_byHour != nHour) {
            piece += GPX_SEGMENT_END;
            piece += "<trkseg>\n";
            nHour = point.m_byHour;
        }
        flush();
    }
    piece += GPX_SEGMENT_END;
    piece += "</trk>\n</gpx>\n";
    flush();
    if (file->Close() == CBufferedFile::EWrite::Failed)
        bWritten = false;
    if (!bWritten)
        return COutcome::Fail(QStringLiteral("Error writing file"), errno);
    return COutcome::Ok();
}
