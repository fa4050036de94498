#include "track/XmlTrackReader.h"

#include "platform/InputFile.h"

#include <QIODevice>
#include <QXmlStreamReader>

#include <cfloat>
#include <cmath>
#include <optional>
#include <vector>

namespace {

// Real GPX and KML nest a few levels (KML folders a few more); anything
// deeper is not a track.
constexpr size_t XML_MAX_DEPTH = 256;
constexpr int XML_DAY_SECONDS = 24 * 3600;
constexpr double XML_KNOTS_PER_MPS = 3600.0 / 1852.0;

enum class EPointKind { Waypoint, Other };

// A point being read, its time as seconds of the UTC day when it has one;
// a point with a value no track can hold is read to its end and skipped.
struct PendingPoint
{
    CTrackPoint point;
    std::optional<int> nUtcSeconds;
    bool bUnusable = false;
};

// A number as written, infinite for one too large for a double ("1e400",
// "inf"); nothing for text that is not a number.
std::optional<double> Number(QStringView text)
{
    bool bOk = false;
    const double dValue = text.trimmed().toDouble(&bOk);
    if (!bOk && !std::isinf(dValue))
        return std::nullopt;
    return dValue;
}

bool FitsFloat(double dValue)
{
    return std::isfinite(dValue) && std::fabs(dValue) <= FLT_MAX;
}

// False for coordinates that are not numbers; coordinates off the globe mark
// the point unusable.
bool SetPosition(PendingPoint& pending, QStringView latitude, QStringView longitude)
{
    const std::optional<double> dLatitude = Number(latitude);
    const std::optional<double> dLongitude = Number(longitude);
    if (!dLatitude || !dLongitude)
        return false;
    pending.bUnusable |= !IsOnGlobe(*dLatitude, *dLongitude);
    pending.point.m_fLatitude = float(*dLatitude);
    pending.point.m_fLongitude = float(*dLongitude);
    return true;
}

// Optional values: what cannot be read stays 0; a value no float holds
// marks the point unusable.
void SetValue(PendingPoint& pending, float CTrackPoint::*pfValue, QStringView text, double dScale = 1)
{
    const std::optional<double> dValue = Number(text);
    if (!dValue)
        return;
    const double dScaled = *dValue * dScale;
    pending.bUnusable |= !FitsFloat(dScaled);
    pending.point.*pfValue = FitsFloat(dScaled) ? float(dScaled) : 0.0f;
}

// Reads nDigits digits at pos, moving pos on; -1 when they are not there.
int Digits(QStringView text, qsizetype& pos, int nDigits)
{
    int nValue = 0;
    for (int i = 0; i < nDigits; ++i, ++pos) {
        if (pos >= text.size() || !text[pos].isDigit() || text[pos].unicode() > '9')
            return -1;
        nValue = nValue * 10 + (text[pos].unicode() - '0');
    }
    return nValue;
}

bool Skip(QStringView text, qsizetype& pos, char ch)
{
    if (pos >= text.size() || text[pos] != QLatin1Char(ch))
        return false;
    ++pos;
    return true;
}

// Seconds of the UTC day of an xsd:dateTime ("2026-12-07T15:08:03Z", with
// an optional fraction and zone offset); nothing for a date alone. Read by
// hand: a track has one per point.
std::optional<int> UtcSeconds(QStringView text)
{
    text = text.trimmed();
    qsizetype pos = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const qsizetype nYearStart = pos;
    while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() <= '9')
        ++pos;
    if (pos - nYearStart < 4 || !Skip(text, pos, '-') || Digits(text, pos, 2) < 0 || !Skip(text, pos, '-')
        || Digits(text, pos, 2) < 0 || !Skip(text, pos, 'T'))
        return std::nullopt;
    const int nHour = Digits(text, pos, 2);
    const int nMinute = Skip(text, pos, ':') ? Digits(text, pos, 2) : -1;
    const int nSecond = Skip(text, pos, ':') ? Digits(text, pos, 2) : -1;
    if (nHour < 0 || nHour > 24 || nMinute < 0 || nMinute > 59 || nSecond < 0 || nSecond > 60)
        return std::nullopt;
    if (Skip(text, pos, '.')) {
        const qsizetype nFraction = pos;
        while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() <= '9')
            ++pos;
        if (pos == nFraction)
            return std::nullopt;
    }
    int nSeconds = nHour * 3600 + nMinute * 60 + nSecond;
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        const int nSign = text[pos++] == QLatin1Char('+') ? 1 : -1;
        const int nOffsetHours = Digits(text, pos, 2);
        Skip(text, pos, ':');
        const int nOffsetMinutes = Digits(text, pos, 2);
        if (nOffsetHours < 0 || nOffsetMinutes < 0)
            return std::nullopt;
        nSeconds -= nSign * (nOffsetHours * 3600 + nOffsetMinutes * 60);
    } else {
        Skip(text, pos, 'Z');
    }
    if (pos != text.size())
        return std::nullopt;
    return nSeconds;
}

class CXmlTrackReader
{
public:
    CXmlTrackReader(QIODevice& device, int nUtcCorrection)
        : m_xml(&device)
        , m_nUtcSeconds(nUtcCorrection * 3600)
    {
    }

    bool Read(CTrackPointList& points);
    size_t Skipped() const { return m_nSkipped; }

private:
    bool StartElement();
    bool EndElement();
    bool StartGpx(QStringView name);
    bool StartKml(QStringView name);
    void Emit(const PendingPoint& pending);
    bool ReadKmlCoordinates(const QString& strText, bool bOnePoint);

    QStringView Parent(int nUp = 1) const
    {
        return m_stack.size() >= size_t(nUp) ? QStringView(m_stack[m_stack.size() - size_t(nUp)]) : QStringView();
    }

    QXmlStreamReader m_xml;
    int m_nUtcSeconds;
    bool m_bKml = false;
    std::vector<QString> m_stack;   // local names of the open elements
    CTrackPointList m_points;
    size_t m_nSkipped = 0;

    // GPX: the point being read and the depth of its element.
    std::optional<PendingPoint> m_gpxPoint;
    size_t m_nGpxPointDepth = 0;
    EPointKind m_gpxKind = EPointKind::Other;

    // KML: the Placemark being read, its name, its Point and its time stamp.
    bool m_bInPlacemark = false;
    QString m_strPlacemarkName;
    std::optional<PendingPoint> m_kmlPoint;
    std::optional<int> m_nPlacemarkTime;
    // KML: the times and coordinates of the gx:Track being read.
    std::vector<std::optional<int>> m_trackTimes;
    std::vector<PendingPoint> m_trackCoords;
};

bool CXmlTrackReader::Read(CTrackPointList& points)
{
    while (!m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::DTD:
            // Neither format has a DTD; entities are the classic way to blow up a parser.
            if (!m_xml.entityDeclarations().isEmpty())
                return false;
            break;
        case QXmlStreamReader::StartElement:
            if (!StartElement())
                return false;
            break;
        case QXmlStreamReader::EndElement:
            if (!EndElement())
                return false;
            break;
        default:
            break;
        }
    }
    if (m_xml.hasError())
        return false;
    points.insert(points.end(), m_points.begin(), m_points.end());
    return true;
}

bool CXmlTrackReader::StartElement()
{
    const QStringView name = m_xml.name();
    if (m_stack.empty()) {
        if (name == QLatin1String("kml"))
            m_bKml = true;
        else if (name != QLatin1String("gpx"))
            return false;
    }
    if (m_stack.size() >= XML_MAX_DEPTH)
        return false;
    // The handlers read the text of the leaves they want, which consumes the
    // leaf's end: only elements left open go on the stack.
    const QString strName = name.toString();
    const bool bHandled = m_bKml ? StartKml(strName) : StartGpx(strName);
    if (m_xml.hasError())
        return false;
    if (!bHandled)
        m_stack.push_back(strName);
    return true;
}

bool CXmlTrackReader::StartGpx(QStringView name)
{
    const bool bWaypoint = name == QLatin1String("wpt");
    if (bWaypoint || name == QLatin1String("trkpt") || name == QLatin1String("rtept")) {
        PendingPoint pending;
        const QXmlStreamAttributes attributes = m_xml.attributes();
        if (m_gpxPoint || !SetPosition(pending, attributes.value(QLatin1String("lat")),
                                       attributes.value(QLatin1String("lon")))) {
            m_xml.raiseError(QStringLiteral("point without a position"));
            return true;
        }
        m_gpxPoint = pending;
        m_gpxKind = bWaypoint ? EPointKind::Waypoint : EPointKind::Other;
        m_nGpxPointDepth = m_stack.size() + 1;
        return false;
    }
    if (!m_gpxPoint || m_stack.size() != m_nGpxPointDepth)
        return false;
    PendingPoint& pending = *m_gpxPoint;
    if (name == QLatin1String("ele"))
        SetValue(pending, &CTrackPoint::m_fAltitude, m_xml.readElementText());
    else if (name == QLatin1String("time"))
        pending.nUtcSeconds = UtcSeconds(m_xml.readElementText());
    else if (name == QLatin1String("speed"))
        SetValue(pending, &CTrackPoint::m_fSpeed, m_xml.readElementText(), XML_KNOTS_PER_MPS);
    else if (name == QLatin1String("course"))
        SetValue(pending, &CTrackPoint::m_fCourse, m_xml.readElementText());
    else if (name == QLatin1String("hdop"))
        SetValue(pending, &CTrackPoint::m_fHdop, m_xml.readElementText());
    else if (name == QLatin1String("name") && m_gpxKind == EPointKind::Waypoint)
        pending.point.m_strName = m_xml.readElementText().trimmed();
    else
        return false;
    return true;
}

bool CXmlTrackReader::StartKml(QStringView name)
{
    if (name == QLatin1String("Placemark")) {
        m_bInPlacemark = true;
        m_strPlacemarkName.clear();
        m_kmlPoint.reset();
        m_nPlacemarkTime.reset();
        return false;
    }
    if (name == QLatin1String("Track")) {
        m_trackTimes.clear();
        m_trackCoords.clear();
        return false;
    }
    if (name == QLatin1String("name") && Parent() == QLatin1String("Placemark")) {
        m_strPlacemarkName = m_xml.readElementText().trimmed();
        return true;
    }
    if (name == QLatin1String("when") && Parent() == QLatin1String("Track")) {
        m_trackTimes.push_back(UtcSeconds(m_xml.readElementText()));
        return true;
    }
    if (name == QLatin1String("when") && Parent() == QLatin1String("TimeStamp")
        && Parent(2) == QLatin1String("Placemark")) {
        m_nPlacemarkTime = UtcSeconds(m_xml.readElementText());
        return true;
    }
    if (name == QLatin1String("coord") && Parent() == QLatin1String("Track")) {
        const QStringList parts = m_xml.readElementText().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        PendingPoint pending;
        if (parts.size() < 2 || parts.size() > 3 || !SetPosition(pending, parts[1], parts[0])) {
            m_xml.raiseError(QStringLiteral("bad gx:coord"));
            return true;
        }
        if (parts.size() == 3)
            SetValue(pending, &CTrackPoint::m_fAltitude, parts[2]);
        m_trackCoords.push_back(pending);
        return true;
    }
    if (name == QLatin1String("coordinates")) {
        const bool bLine = Parent() == QLatin1String("LineString");
        const bool bPoint = Parent() == QLatin1String("Point") && m_bInPlacemark;
        if (!bLine && !bPoint)
            return false;
        if (!ReadKmlCoordinates(m_xml.readElementText(), bPoint) && !m_xml.hasError())
            m_xml.raiseError(QStringLiteral("bad coordinates"));
        return true;
    }
    return false;
}

// "lon,lat[,alt]" tuples apart by white space; a Point has one.
bool CXmlTrackReader::ReadKmlCoordinates(const QString& strText, bool bOnePoint)
{
    const QStringView text(strText);
    int nTuples = 0;
    for (qsizetype pos = 0; pos < text.size();) {
        if (text[pos].isSpace()) {
            ++pos;
            continue;
        }
        const qsizetype nStart = pos;
        while (pos < text.size() && !text[pos].isSpace())
            ++pos;
        const QStringView tuple = text.sliced(nStart, pos - nStart);
        if (bOnePoint && ++nTuples > 1)
            return false;
        const QList<QStringView> parts = tuple.split(QLatin1Char(','));
        PendingPoint pending;
        if (parts.size() < 2 || parts.size() > 3 || !SetPosition(pending, parts[1], parts[0]))
            return false;
        if (parts.size() == 3)
            SetValue(pending, &CTrackPoint::m_fAltitude, parts[2]);
        if (bOnePoint)
            m_kmlPoint = pending;
        else
            Emit(pending);
    }
    return !bOnePoint || nTuples == 1;
}

bool CXmlTrackReader::EndElement()
{
    if (m_stack.empty())
        return false;
    const QString strName = std::move(m_stack.back());
    m_stack.pop_back();
    if (!m_bKml) {
        if (m_gpxPoint && m_stack.size() + 1 == m_nGpxPointDepth) {
            Emit(*m_gpxPoint);
            m_gpxPoint.reset();
        }
        return true;
    }
    if (strName == QLatin1String("Track")) {
        for (size_t i = 0; i < m_trackCoords.size(); ++i) {
            if (i < m_trackTimes.size())
                m_trackCoords[i].nUtcSeconds = m_trackTimes[i];
            Emit(m_trackCoords[i]);
        }
        m_trackCoords.clear();
        m_trackTimes.clear();
    } else if (strName == QLatin1String("Placemark")) {
        if (m_kmlPoint) {
            m_kmlPoint->point.m_strName = m_strPlacemarkName;
            if (!m_kmlPoint->nUtcSeconds)
                m_kmlPoint->nUtcSeconds = m_nPlacemarkTime;
            Emit(*m_kmlPoint);
        }
        m_bInPlacemark = false;
        m_kmlPoint.reset();
    }
    return true;
}

void CXmlTrackReader::Emit(const PendingPoint& pending)
{
    if (pending.bUnusable) {
        ++m_nSkipped;
        return;
    }
    CTrackPoint& point = m_points.emplace_back(pending.point);
    if (!pending.nUtcSeconds)
        return;
    const int nSeconds = ((*pending.nUtcSeconds + m_nUtcSeconds) % XML_DAY_SECONDS + XML_DAY_SECONDS)
                         % XML_DAY_SECONDS;
    point.m_byHour = uint8_t(nSeconds / 3600);
    point.m_byMinute = uint8_t(nSeconds / 60 % 60);
    point.m_bySecond = uint8_t(nSeconds % 60);
}

}

bool ReadXmlTrack(QIODevice& device, int nUtcCorrection, CTrackPointList& points, size_t& nSkipped)
{
    CXmlTrackReader reader(device, nUtcCorrection);
    if (!reader.Read(points))
        return false;
    nSkipped += reader.Skipped();
    return true;
}

namespace {

// QXmlStreamReader reads from a QIODevice; this one reads a checked input file.
class CInputDevice : public QIODevice
{
public:
    explicit CInputDevice(CInputFile& file) : m_file(file) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool Failed() const { return m_bFailed; }

protected:
    qint64 readData(char* pData, qint64 nMax) override
    {
        const ptrdiff_t nRead = m_file.Read(pData, size_t(nMax));
        m_bFailed = m_bFailed || nRead < 0;
        return nRead;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    CInputFile& m_file;
    bool m_bFailed = false;
};

}

ETrackLoad LoadXmlTrackFile(const QString& strHostPath, int nUtcCorrection, CTrackPointList& points,
                            size_t& nSkipped)
{
    CInputFile file;
    if (const ETrackLoad opened = OpenTrackInput(file, strHostPath); opened != ETrackLoad::Ok)
        return opened;
    CInputDevice device(file);
    if (!ReadXmlTrack(device, nUtcCorrection, points, nSkipped))
        return device.Failed() ? ETrackLoad::Unreadable : ETrackLoad::Incorrect;
    return ETrackLoad::Ok;
}
