#include "map/CMapBitmap.h"

#include "map/DibFile.h"
#include "platform/DevicePaths.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// The calibration grammar: X (longitude) then Y (latitude), each a pair of
// values in degrees (G), minutes (M) and, in the seconds form, seconds (S).
const QString CAL_MINUTES = QStringLiteral("X%dG%dM_%dG%dMY%dG%dM_%dG%dM");
const QString CAL_SECONDS = QStringLiteral("X%dG%dM%dS_%dG%dM%dSY%dG%dM%dS_%dG%dM%dS");
constexpr int CAL_VALUES = 4;

// Reads an optionally signed decimal integer after white space, as %d does;
// values beyond 32 bits saturate. Returns false when no digit follows.
bool ScanInteger(QStringView text, qsizetype& i, int32_t& nValue)
{
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        bNegative = text[i++] == u'-';
    const qsizetype nStart = i;
    int64_t n = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        n = std::min<int64_t>(n * 10 + (text[i].unicode() - u'0'), int64_t(1) << 32);
    if (i == nStart)
        return false;
    n = bNegative ? -n : n;
    nValue = int32_t(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                         std::numeric_limits<int32_t>::max()));
    return true;
}

// Matches text against a pattern of literal characters and %d fields, like
// swscanf: reading stops at the first mismatch and whatever follows the
// pattern is ignored. Fields not reached keep their value.
void ScanPattern(QStringView text, QStringView pattern, int32_t* pnFields)
{
    qsizetype i = 0;
    for (qsizetype k = 0; k < pattern.size(); ++k) {
        if (pattern[k] == u'%' && k + 1 < pattern.size() && pattern[k + 1] == u'd') {
            if (!ScanInteger(text, i, *pnFields++))
                return;
            ++k;
        } else if (i < text.size() && text[i] == pattern[k]) {
            ++i;
        } else {
            return;
        }
    }
}

// The sign lives in the degrees alone: -5G30M is -5.5, -0G30M is +0.5.
double ToDegrees(int32_t nDegrees, int32_t nMinutes, int32_t nSeconds)
{
    const double f = nSeconds * (1.0 / 3600) + nMinutes * (1.0 / 60);
    return nDegrees < 0 ? nDegrees - f : nDegrees + f;
}

void SortedPair(double dFirst, double dSecond, double& dMin, double& dMax)
{
    dMin = std::min(dFirst, dSecond);
    dMax = std::max(dFirst, dSecond);
}

}

bool CMapBitmap::ParseCalibration()
{
    m_lonMin = m_lonMax = m_latMin = m_latMax = 0.0;
    // Read from the name the handheld would have given the file, so a host
    // folder such as /home/Xena plays no part.
    const QString strName = DeviceName(m_path);
    const qsizetype nX = strName.indexOf(u'X');
    if (nX < 0)
        return false;
    const QStringView text = QStringView(strName).mid(nX);

    // Degrees, minutes and seconds of X first, X second, Y first, Y second.
    std::array<int32_t, CAL_VALUES * 3> fields {};
    if (text.contains(u'S')) {
        ScanPattern(text, CAL_SECONDS, fields.data());
    } else {
        std::array<int32_t, CAL_VALUES * 2> minutes {};
        ScanPattern(text, CAL_MINUTES, minutes.data());
        for (int i = 0; i < CAL_VALUES; ++i) {
            fields[3 * i] = minutes[2 * i];
            fields[3 * i + 1] = minutes[2 * i + 1];
        }
    }
    std::array<double, CAL_VALUES> values {};
    for (int i = 0; i < CAL_VALUES; ++i)
        values[i] = ToDegrees(fields[3 * i], fields[3 * i + 1], fields[3 * i + 2]);
    SortedPair(values[0], values[1], m_lonMin, m_lonMax);
    SortedPair(values[2], values[3], m_latMin, m_latMax);
    return true;
}

COutcome CMapBitmap::LoadMapBitmap(CDibInfo* pInfo)
{
    // Give the earlier pixels back first: a map can take hundreds of megabytes.
    m_hDib = nullptr;
    m_bitmap = QImage();
    m_halvings = CImageHalvings();
    QImage dib;
    COutcome loaded = CreateDibFromFile(&dib, HostPath(m_path), pInfo);
    if (loaded) {
        m_bitmap = std::move(dib);
        m_hDib = &m_bitmap;
    }
    m_width = uint32_t(m_bitmap.width());
    m_height = uint32_t(m_bitmap.height());

    // The view and follow steps divide by these, so they stay positive and
    // finite, also for an uncalibrated map or a failed load.
    m_lonPerPixel = m_width ? (m_lonMax - m_lonMin) / double(m_width) : 0.0;
    m_latPerPixel = m_height ? (m_latMax - m_latMin) / double(m_height) : 0.0;
    if (!(m_lonPerPixel > 0.0) || !std::isfinite(m_lonPerPixel))
        m_lonPerPixel = 1.0;
    if (!(m_latPerPixel > 0.0) || !std::isfinite(m_latPerPixel))
        m_latPerPixel = 1.0;
    m_zoom = 1.0;
    m_panX = 0;
    m_panY = 0;
    return loaded;
}
