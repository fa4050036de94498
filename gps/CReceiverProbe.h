#pragma once

#include "platform/Outcome.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

// The port name that asks for the probe instead of naming a port.
inline const QString PROBE_AUTO_PORT = QStringLiteral("auto");

// The rates a serial device is listened at, in order; by default each for at
// most PROBE_LISTEN_MS, the whole search for at most PROBE_TOTAL_MS.
constexpr int PROBE_RATES[] = {4800, 9600, 38400, 115200};
constexpr int PROBE_LISTEN_MS = 2000;
constexpr int PROBE_TOTAL_MS = 10000;

// Where the probe looks, in order: a gpsd, then the serial devices that match
// the patterns (glob(7), each sorted by name); and how long it listens.
struct CProbePlaces
{
    QString m_strGpsd;             // a gpsd:// port name; empty: no gpsd
    QStringList m_devicePatterns;
    int m_nListenMs = PROBE_LISTEN_MS;   // one source, or one rate of a device
    int m_nTotalMs = PROBE_TOTAL_MS;     // the whole search

    // gpsd://localhost and /dev/serial/by-id/*, /dev/ttyACM*, /dev/ttyUSB*;
    // $VELTRIP_PROBE_GPSD and $VELTRIP_PROBE_DEVICES (patterns separated by
    // ":") replace them when set, and an empty one leaves that part out.
    // $VELTRIP_PROBE_LISTEN_MS and $VELTRIP_PROBE_TOTAL_MS, whole numbers
    // from 1, replace the times (tests look for a receiver in less time).
    static CProbePlaces FromEnvironment();
};

// A serial device that exists: the name it is known by and the device it
// leads to (the same for a device that is no link).
struct CDevicePresent
{
    QString m_strName;
    QString m_strTarget;
};

// The devices the patterns find, in order, each device once: a by-id link
// comes before the device it leads to, which is then left out.
std::vector<CDevicePresent> DevicesPresent(const CProbePlaces& places);

// Looks for a receiver without a word to the user: the gpsd, then each
// device at each rate, reading only (nothing is written to a device), and
// takes the first that delivers an NMEA sentence with a right checksum.
class CReceiverProbe
{
public:
    using Progress = std::function<void(const QString& strText)>;

    explicit CReceiverProbe(CProbePlaces places);

    // Ok with m_strPort and m_nBaudRate set; Failed when nothing answered in
    // time, Cancelled once *pbCancel is set. onProgress hears where it looks.
    COutcome Run(const Progress& onProgress = {}, const std::atomic<bool>* pbCancel = nullptr);

    QString m_strPort;
    int m_nBaudRate = 0;

private:
    CProbePlaces m_places;
};
