#include "tools/sim/SimReplay.h"

#include <QList>

namespace {

constexpr double SIM_DAY = 86400.0;
constexpr double SIM_LONGEST_GAP = 3600.0;

}

bool SimFixTime(const QByteArray& line, double& dSeconds)
{
    const QList<QByteArray> fields = line.trimmed().split(',');
    if (fields.size() < 2 || fields[0].size() != 6 || !fields[0].startsWith('$'))
        return false;
    const QByteArray type = fields[0].mid(3);
    if (type != "RMC" && type != "GGA")
        return false;
    const QByteArray& time = fields[1];
    if (time.size() < 6)
        return false;
    bool bH = false, bM = false, bS = false;
    const int nHour = time.left(2).toInt(&bH);
    const int nMinute = time.mid(2, 2).toInt(&bM);
    const double dSecond = time.mid(4).toDouble(&bS);
    if (!bH || !bM || !bS || nHour > 23 || nMinute > 59 || dSecond < 0 || dSecond >= 61)
        return false;
    dSeconds = nHour * 3600.0 + nMinute * 60.0 + dSecond;
    return true;
}

double SimReplayDelay(double dPrevious, double dNext, double dRate)
{
    double dDelta = dNext - dPrevious;
    if (dDelta < 0)
        dDelta += SIM_DAY;
    if (dDelta > SIM_LONGEST_GAP)
        dDelta = 1.0;
    return dDelta / dRate;
}
