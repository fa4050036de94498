#include "tools/sim/CSimReceiver.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The route, driven in a loop: each leg holds a target speed and a rate of
// turn. Curves store a point every second, straight legs exercise the speed
// intervals of the recorder, the stop at the end lets the fix stand still.
struct SimLeg
{
    int nSeconds;
    double dSpeed;      // knots
    double dTurnRate;   // degrees per second
};

const SimLeg SIM_ROUTE[] = {
    {30, 12.0, 4.0},
    {40, 25.0, 0.0},
    {20, 25.0, -6.0},
    {40, 45.0, 0.0},
    {30, 65.0, 1.5},
    {20, 5.0, 10.0},
    {15, 0.0, 0.0},
};

constexpr double SIM_ACCELERATION = 2.0;    // knots per second
constexpr double SIM_METRES_PER_KNOT_SECOND = 1852.0 / 3600.0;
constexpr double SIM_EARTH_RADIUS = 6371000.0;
constexpr int SIM_SKY_PERIOD = 300;         // seconds for one rise and set
constexpr int SIM_MAX_IN_VIEW = 12;

const int SIM_PRNS[] = {2, 5, 7, 9, 12, 13, 15, 17, 19, 21, 24, 26, 28, 30};

const SimLeg& LegAt(int nSecond)
{
    int nTotal = 0;
    for (const SimLeg& leg : SIM_ROUTE)
        nTotal += leg.nSeconds;
    int n = nSecond % nTotal;
    for (const SimLeg& leg : SIM_ROUTE) {
        if (n < leg.nSeconds)
            return leg;
        n -= leg.nSeconds;
    }
    return SIM_ROUTE[0];
}

QByteArray Fixed(double d, int nDecimals)
{
    return QByteArray::number(d, 'f', nDecimals);
}

// ddmm.mmmm or dddmm.mmmm plus the hemisphere letter.
QByteArray Angle(double dDegrees, int nDegreeDigits, char chPositive, char chNegative)
{
    const double dAbs = std::fabs(dDegrees);
    const int nWhole = static_cast<int>(dAbs);
    const double dMinutes = (dAbs - nWhole) * 60.0;
    QByteArray text = QByteArray::number(nWhole).rightJustified(nDegreeDigits, '0');
    text += Fixed(dMinutes, 4).rightJustified(7, '0');
    text += ',';
    text += dDegrees < 0 ? chNegative : chPositive;
    return text;
}

}

QByteArray NmeaChecksum(const QByteArray& body)
{
    unsigned char sum = 0;
    for (char ch : body)
        sum ^= static_cast<unsigned char>(ch);
    return QByteArray::number(sum, 16).toUpper().rightJustified(2, '0');
}

QByteArray NmeaSentence(const QByteArray& body)
{
    return '$' + body + '*' + NmeaChecksum(body) + "\r\n";
}

CSimReceiver::CSimReceiver(double dLatitude, double dLongitude)
    : m_dLatitude(dLatitude)
    , m_dLongitude(dLongitude)
{
    m_dSpeed = SIM_ROUTE[0].dSpeed;
}

void CSimReceiver::Step()
{
    const SimLeg& leg = LegAt(m_nSecond);
    const double dDelta = std::clamp(leg.dSpeed - m_dSpeed, -SIM_ACCELERATION, SIM_ACCELERATION);
    m_dSpeed += dDelta;
    m_dCourse = std::fmod(m_dCourse + leg.dTurnRate + 360.0, 360.0);

    const double dMetres = m_dSpeed * SIM_METRES_PER_KNOT_SECOND;
    const double dCourse = m_dCourse * std::numbers::pi / 180.0;
    const double dLat = m_dLatitude * std::numbers::pi / 180.0;
    m_dLatitude += dMetres * std::cos(dCourse) / SIM_EARTH_RADIUS * 180.0 / std::numbers::pi;
    m_dLongitude += dMetres * std::sin(dCourse) / (SIM_EARTH_RADIUS * std::cos(dLat)) * 180.0
                    / std::numbers::pi;
    m_dAltitude = 12.0 + 4.0 * std::sin(m_nSecond / 30.0);
    ++m_nSecond;
}

std::vector<SimSatellite> CSimReceiver::SatellitesInView() const
{
    std::vector<SimSatellite> sats;
    const int nCount = static_cast<int>(std::size(SIM_PRNS));
    for (int i = 0; i < nCount; ++i) {
        // Evenly spread phases keep about half the sky above the horizon, so
        // satellites keep rising and setting while the fix holds.
        const double dPhase = 2.0 * std::numbers::pi * (double(m_nSecond) / SIM_SKY_PERIOD + double(i) / nCount);
        const int nElevation = static_cast<int>(std::lround(85.0 * std::sin(dPhase)));
        if (nElevation <= 0)
            continue;
        const int nAzimuth = (i * 360 / nCount + m_nSecond / 4) % 360;
        sats.push_back({SIM_PRNS[i], nElevation, nAzimuth, 20 + nElevation / 3});
    }
    std::sort(sats.begin(), sats.end(),
              [](const SimSatellite& a, const SimSatellite& b) { return a.nElevation > b.nElevation; });
    if (sats.size() > SIM_MAX_IN_VIEW)
        sats.resize(SIM_MAX_IN_VIEW);
    return sats;
}

std::vector<int> CSimReceiver::SatellitesUsed() const
{
    std::vector<int> used;
    for (const SimSatellite& sat : SatellitesInView()) {
        if (sat.nElevation >= 10)
            used.push_back(sat.nPrn);
    }
    return used;
}

QByteArray CSimReceiver::Sentences(const QDateTime& utc) const
{
    const QDateTime t = utc.toUTC();
    const QByteArray time = t.toString(QStringLiteral("HHmmss")).toLatin1() + ".00";
    const QByteArray date = t.toString(QStringLiteral("ddMMyy")).toLatin1();
    const QByteArray lat = Angle(m_dLatitude, 2, 'N', 'S');
    const QByteArray lon = Angle(m_dLongitude, 3, 'E', 'W');
    const std::vector<SimSatellite> inView = SatellitesInView();
    const std::vector<int> used = SatellitesUsed();
    const bool bFix = used.size() >= 4;
    const double dHdop = bFix ? 0.6 + 4.0 / double(used.size()) : 99.9;

    QByteArray out;
    out += NmeaSentence("GPRMC," + time + (bFix ? ",A," : ",V,") + lat + ',' + lon + ','
                        + Fixed(m_dSpeed, 1) + ',' + Fixed(m_dCourse, 1) + ',' + date + ",,,A");
    out += NmeaSentence("GPGGA," + time + ',' + lat + ',' + lon + (bFix ? ",1," : ",0,")
                        + QByteArray::number(int(used.size())).rightJustified(2, '0') + ','
                        + Fixed(dHdop, 1) + ',' + Fixed(m_dAltitude, 1) + ",M,47.0,M,,");

    QByteArray gsa = bFix ? "GPGSA,A,3" : "GPGSA,A,1";
    for (size_t i = 0; i < SIM_MAX_IN_VIEW; ++i)
        gsa += ',' + (i < used.size() ? QByteArray::number(used[i]).rightJustified(2, '0') : QByteArray());
    gsa += ',' + Fixed(dHdop * 1.6, 1) + ',' + Fixed(dHdop, 1) + ',' + Fixed(dHdop * 1.3, 1);
    out += NmeaSentence(gsa);

    const int nInView = static_cast<int>(inView.size());
    const int nMessages = std::max(1, (nInView + 3) / 4);
    for (int m = 0; m < nMessages; ++m) {
        QByteArray gsv = "GPGSV," + QByteArray::number(nMessages) + ',' + QByteArray::number(m + 1)
                         + ',' + QByteArray::number(nInView).rightJustified(2, '0');
        for (int i = m * 4; i < std::min(nInView, m * 4 + 4); ++i) {
            const SimSatellite& sat = inView[size_t(i)];
            gsv += ',' + QByteArray::number(sat.nPrn).rightJustified(2, '0') + ','
                   + QByteArray::number(sat.nElevation).rightJustified(2, '0') + ','
                   + QByteArray::number(sat.nAzimuth).rightJustified(3, '0') + ','
                   + QByteArray::number(sat.nSnr).rightJustified(2, '0');
        }
        out += NmeaSentence(gsv);
    }
    return out;
}
