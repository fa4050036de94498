#include "display/GpsDataView.h"

#include "display/CompassNeedle.h"
#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"
#include "track/Destination.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Layout of the view, in pixels. Rows below the coordinates follow the
// measured heights of the texts above them.
constexpr int DATA_TIME_Y = 1;             // the time, flush right at the top
constexpr int DATA_TIME_GAP = 2;           // below the time, the latitude
constexpr int DATA_COORDINATE_GAP = 1;     // between latitude and longitude
constexpr int DATA_NEEDLE_X = 45;          // the needle, the course centred on it
constexpr int DATA_NEEDLE_Y = 58;
constexpr int DATA_NEEDLE_RADIUS = 41;
constexpr int DATA_LEFT_X = 6;             // the labels and lines at the left
constexpr int DATA_SPEED_Y = 100;          // the knots; km/h one line below
constexpr int DATA_SPEED_LEFT_OF_MIDDLE = 20;
constexpr int DATA_SPEED_GAP = 1;          // below the knots and below the km/h
constexpr int DATA_DILUTION_GAP = 9;       // between the altitude and the dilution
constexpr int DATA_SENTENCE_GAP = 1;       // below the sentence line and the status line

constexpr int DMS_MINUTES_PER_DEGREE = 60;
constexpr char DMS_FULL_MINUTE[] = "60.0";   // seconds as "%.1f" shows them

QColor FreshColour(const CGpsTracker* pTracker, uint32_t nBit)
{
    return (pTracker->m_nUpdateFlags & nBit) ? CLR_BLACK : CLR_RED;
}

// A position is current only when the receiver also vouched for its fix: a
// void fix's placeholder must not read as where the user is.
QColor PositionColour(const CGpsTracker* pTracker, uint32_t nBit)
{
    return pTracker->m_bFixVouched ? FreshColour(pTracker, nBit) : CLR_RED;
}

// Degrees, minutes and seconds of |fDegrees|, with the rounding steps the
// receiver's single-precision values have always been shown with. Seconds
// that round to 60.0 carry into the minutes, and 60 minutes into the
// degrees: 5.1 reads 5 6' 0.0'', never 5 5'60.0''. The minutes are those the
// seconds were taken from, which the single-precision minutes can round up
// to the next whole one.
QString DmsText(float fDegrees)
{
    const float a = std::fabs(fDegrees);
    int nDegrees = TruncToInt(a);
    const float f = a - float(nDegrees);
    const float m = float(double(f) * 60.0);
    int nMinutes = std::max(TruncToInt(double(f) * 60.0), TruncToInt(m));
    double dSeconds = double(float((double(m) - double(TruncToInt(m))) * 60.0));
    if (FormatText("%.1f", dSeconds) == QLatin1String(DMS_FULL_MINUTE)) {
        dSeconds = 0;
        ++nMinutes;
    }
    if (nMinutes >= DMS_MINUTES_PER_DEGREE) {
        nMinutes -= DMS_MINUTES_PER_DEGREE;
        // A value beyond int stays at the saturated degrees TruncToInt gave.
        if (nDegrees < std::numeric_limits<int>::max())
            ++nDegrees;
    }
    return FormatText("%4d\u00B0%2d'%4.1f''", nDegrees, nMinutes, dSeconds);
}

// Hemisphere letter at xLetter and the value ending where it begins, on line
// y; returns the height of the value.
int DrawCoordinate(CDC* pDC, int xLetter, int y, float fDegrees, const char* pszNegative,
                   const char* pszPositive)
{
    pDC->TextOut(xLetter, y, QString::fromLatin1(fDegrees < 0 ? pszNegative : pszPositive));
    const QString strValue = DmsText(fDegrees);
    const QSize size = pDC->GetTextExtent(strValue);
    pDC->TextOut(xLetter - size.width(), y, strValue);
    return size.height();
}

// The whole part as an unsigned number; like the device's conversion, a
// negative or unreadable value gives 0 and a huge one saturates.
unsigned HdopWhole(float fHdop)
{
    if (!(fHdop > 0))
        return 0;
    return unsigned(std::min(double(fHdop), double(std::numeric_limits<unsigned>::max())));
}

// Tools, "Go to…": the distance left, at the end of the sentence line.
QString DestinationDistance(const CViewContext& view)
{
    const std::optional<CDestination> destination = DestinationOf(view.m_settings);
    return destination ? DistanceText(GuidanceTo(*destination, view.m_tracker).m_dMeters) : QString();
}

int MeanSignal(const CGpsTracker* pTracker)
{
    int nSum = 0;
    int nCount = 0;
    for (const GpsSatellite& sat : pTracker->m_aSats) {
        if (sat.nSnr != 0) {
            nSum += sat.nSnr;
            ++nCount;
        }
    }
    return nCount ? nSum / nCount : 0;
}

}

void DrawGpsDataView(CDC* pDC, const CViewContext& view)
{
    const CGpsTracker* pTracker = &view.m_tracker;
    const QRect rc = view.m_rcClient;
    const int W = rc.x() + rc.width();
    const int H = rc.y() + rc.height();

    const QFont oldFont = pDC->SelectFont(view.m_fonts.m_fontMedium);

    const QString strTime = FormatText("%2d:%02d:%02d", pTracker->m_nHour,
                                              pTracker->m_nMinute, pTracker->m_nSecond);
    pDC->SetTextColor(FreshColour(pTracker, UPD_TIME));
    const QSize sizeTime = pDC->GetTextExtent(strTime);
    pDC->TextOut(W - sizeTime.width(), DATA_TIME_Y, strTime);
    const int y1 = sizeTime.height() + DATA_TIME_GAP;

    pDC->SelectFont(view.m_fonts.m_fontSmall);
    const int xLetter = W - pDC->GetTextExtent(QStringLiteral("W")).width();
    pDC->SetTextColor(PositionColour(pTracker, UPD_LATITUDE));
    const int y2 = y1 + DrawCoordinate(pDC, xLetter, y1, pTracker->m_fLatitude, "S", "N") + DATA_COORDINATE_GAP;
    pDC->SetTextColor(PositionColour(pTracker, UPD_LONGITUDE));
    DrawCoordinate(pDC, xLetter, y2, pTracker->m_fLongitude, "W", "E");

    pDC->SelectFont(view.m_fonts.m_fontMedium);
    DrawCompassNeedle(pDC, DATA_NEEDLE_X, DATA_NEEDLE_Y, DATA_NEEDLE_RADIUS, pTracker->m_fCourse);
    const float fCourse = pTracker->m_fCourse;
    const QString strCourse = (fCourse < 0 || fCourse > 360.0f) ? QStringLiteral("??\u00B0")
                                                                : CourseText(fCourse);
    pDC->SetTextColor(FreshColour(pTracker, UPD_COURSE));
    const QSize sizeCourse = pDC->GetTextExtent(strCourse);
    pDC->TextOut(DATA_NEEDLE_X - sizeCourse.width() / 2, DATA_NEEDLE_Y - sizeCourse.height() / 2, strCourse);

    pDC->SetTextColor(FreshColour(pTracker, UPD_SPEED));
    pDC->TextOut(DATA_LEFT_X, DATA_SPEED_Y + sizeCourse.height() / 2, QStringLiteral("Speed:"));
    const QString strKnots = FormatText("%4.1f knots   ", double(pTracker->m_fSpeed));
    const int hK = pDC->GetTextExtent(strKnots).height();
    const int xSpeed = W / 2 - DATA_SPEED_LEFT_OF_MIDDLE;
    pDC->TextOut(xSpeed, DATA_SPEED_Y, strKnots);
    pDC->TextOut(xSpeed, DATA_SPEED_Y + DATA_SPEED_GAP + hK,
                 FormatText("%4.1f kmh   ", double(pTracker->m_fSpeed) * UNIT_KMH_PER_KNOT));

    const QString strAltitude = FormatText("Alt: %.1f mtr     ", double(pTracker->m_fAltitude));
    pDC->SetTextColor(FreshColour(pTracker, UPD_ALTITUDE));
    const int hL = pDC->GetTextExtent(strAltitude).height();
    const int yA = DATA_SPEED_Y + 2 * (hK + DATA_SPEED_GAP);
    pDC->TextOut(DATA_LEFT_X, yA, strAltitude);

    const int nSignal = MeanSignal(pTracker);
    pDC->SelectFont(view.m_fonts.m_fontSmall);
    QColor dilutionColour = CLR_RED;
    if (pTracker->m_nUpdateFlags & UPD_HDOP)
        dilutionColour = double(pTracker->m_fHdop) < view.m_settings.MaxDilution() ? CLR_GREEN : CLR_GREY;
    pDC->SetTextColor(dilutionColour);
    pDC->TextOut(DATA_LEFT_X, yA + hL + DATA_DILUTION_GAP,
                 FormatText("Dltn:%u Sats:%d:%d dB   ", HdopWhole(pTracker->m_fHdop),
                                   pTracker->m_nSatsUsed, nSignal));

    pDC->SelectFont(oldFont);
    pDC->SetTextColor(CLR_BLACK);
    const QString strSentences = FormatText(
        "RMC:%d GGA:%d GSA:%d GSV:%d sats,%d dB  ", pTracker->m_bRmcValid, pTracker->m_nFixQuality,
        pTracker->m_nGsaFixType - 1, int(pTracker->m_nSatsInView), nSignal) + DestinationDistance(view);
    const int hR = pDC->GetTextExtent(strSentences).height();
    pDC->TextOut(DATA_LEFT_X, H - 2 * (hR + DATA_SENTENCE_GAP), strSentences);
}
