#include "track/GpxExport.h"

#include "platform/BufferedFile.h"
#include "platform/DevicePaths.h"
#include "track/XmlText.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {

const char GPX_HEAD[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<gpx version=\"1.1\" creator=\"veltrip\" "
                        "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
const char GPX_SEGMENT_END[] = "</trkseg>\n";
constexpr size_t GPX_TIME_SIZE = 64;

// ISO 8601 in UTC, as GPX has its times: <time>2026-12-07T15:08:03Z</time>.
void AppendTime(std::string& strOut, int64_t nUtcTime)
{
    using namespace std::chrono;
    const sys_seconds time{seconds(nUtcTime)};
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(time - day);
    char szTime[GPX_TIME_SIZE];
    std::snprintf(szTime, sizeof szTime, "<time>%04d-%02u-%02uT%02d:%02d:%02dZ</time>", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    strOut += szTime;
}

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
    if (const std::optional<int64_t> nTime = point.UtcTime())
        AppendTime(strOut, *nTime);
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
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0 && points[i].m_bSegmentStart) {
            piece += GPX_SEGMENT_END;
            piece += "<trkseg>\n";
        }
        AppendPosition(piece, "trkpt", points[i]);
        piece += "</trkpt>\n";
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
