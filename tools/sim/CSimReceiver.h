#pragma once

#include <QByteArray>
#include <QDateTime>
#include <vector>

// One simulated satellite as the receiver reports it in GSV.
struct SimSatellite
{
    int nPrn;
    int nElevation;     // degrees above the horizon
    int nAzimuth;       // degrees true
    int nSnr;           // dB-Hz
};

// A receiver that drives a built-in route with changes of speed and course
// and watches a sky in which satellites rise and set. Step() advances one
// second; Sentences() gives that second's RMC, GGA, GSA and GSV.
class CSimReceiver
{
public:
    CSimReceiver(double dLatitude, double dLongitude);

    void Step();
    QByteArray Sentences(const QDateTime& utc) const;

    // The satellites above the horizon, highest first (at most 12).
    std::vector<SimSatellite> SatellitesInView() const;
    // PRNs of the satellites used for the fix (elevation 10 degrees and more).
    std::vector<int> SatellitesUsed() const;

    double m_dLatitude;
    double m_dLongitude;
    double m_dSpeed = 0;        // knots
    double m_dCourse = 75;      // degrees true
    double m_dAltitude = 12;    // metres
    int m_nSecond = 0;          // seconds since the start of the run
};

// "*hh" checksum of the text between "$" and "*".
QByteArray NmeaChecksum(const QByteArray& body);
// "$" + body + "*hh\r\n".
QByteArray NmeaSentence(const QByteArray& body);
