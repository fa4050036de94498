#include "gps/CReceiverProbe.h"

#include "gps/CSentenceAssembler.h"
#include "gps/NmeaDecoder.h"
#include "platform/EnvironmentTime.h"
#include "platform/PortName.h"
#include "platform/ProbeDevice.h"
#include "platform/SocketPort.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <glob.h>
#include <sys/stat.h>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long one wait for bytes lasts: also how soon a Cancel is noticed.
constexpr int PROBE_POLL_MS = 20;
constexpr size_t PROBE_READ_CHUNK = 512;
// "$GPxxx*hh": the shortest line that can be a sentence.
constexpr qsizetype PROBE_SENTENCE_MIN = 9;

const char PROBE_DEFAULT_GPSD[] = "gpsd://localhost";
const char* const PROBE_DEFAULT_DEVICES[] = {"/dev/serial/by-id/*", "/dev/ttyACM*", "/dev/ttyUSB*"};

enum class EHeard
{
    Sentence,   // a sentence with a right checksum
    Noise,      // bytes, but no such sentence
    Nothing,
    Gone,       // the source failed or hung up
};

int RemainingMs(SteadyClock::time_point deadline)
{
    const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return nLeft.count() > 0 ? static_cast<int>(nLeft.count()) : 0;
}

bool IsCancelled(const std::atomic<bool>* pbCancel)
{
    return pbCancel && *pbCancel;
}

// Printable text from "$" to a right checksum: bytes at a wrong rate do
// not pass by chance.
bool IsSentence(QStringView line)
{
    if (!line.isEmpty() && line.back() == u'\r')
        line.chop(1);
    if (line.size() < PROBE_SENTENCE_MIN || line.front() != u'$')
        return false;
    const bool bPrintable = std::all_of(line.begin(), line.end(), [](QChar ch) { return ch >= u' ' && ch <= u'~'; });
    return bPrintable && HasRightChecksum(line);
}

// Reads from a source until a sentence comes, the deadline passes or the
// search is cancelled. pfnRead(buffer, size, wait in ms) reads like
// CProbeDevice::Read.
template <typename Read>
EHeard Listen(Read read, SteadyClock::time_point deadline, const std::atomic<bool>* pbCancel)
{
    CSentenceAssembler assembler;
    bool bSentence = false;
    bool bBytes = false;
    char buffer[PROBE_READ_CHUNK];
    while (!bSentence && !IsCancelled(pbCancel)) {
        const int nLeft = RemainingMs(deadline);
        if (nLeft <= 0)
            break;
        const ptrdiff_t nRead = read(buffer, sizeof buffer, std::min(nLeft, PROBE_POLL_MS));
        if (nRead < 0)
            return EHeard::Gone;
        bBytes = bBytes || nRead > 0;
        assembler.Feed(buffer, static_cast<size_t>(nRead),
                       [&bSentence](QStringView line) { bSentence = bSentence || IsSentence(line); });
    }
    return bSentence ? EHeard::Sentence : bBytes ? EHeard::Noise : EHeard::Nothing;
}

// A network source: its NMEA stream, the connection included, within one
// listening time.
bool NetworkSourceTalks(const QString& strPort, SteadyClock::time_point deadline,
                        const std::atomic<bool>* pbCancel)
{
    const std::optional<NetworkPort> address = ParseNetworkPort(strPort);
    if (!address)
        return false;
    const std::unique_ptr<CSocketPort> port = CSocketPort::Connect(*address, RemainingMs(deadline), true);
    if (!port)
        return false;
    const auto read = [&port](char* pBuffer, size_t nMax, int nWaitMs) -> ptrdiff_t {
        const int nWaiting = port->BytesWaiting();
        if (nWaiting <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(nWaitMs));
            return nWaiting;
        }
        return port->Read(pBuffer, std::min(nMax, static_cast<size_t>(nWaiting)));
    };
    return Listen(read, deadline, pbCancel) == EHeard::Sentence;
}

// The rate a serial device talks at, trying each in turn; 0 when it does not.
// A device silent at one rate is silent at every rate (a wrong rate still
// gives bytes, garbled), so its other rates are skipped.
int SerialDeviceRate(const QString& strName, SteadyClock::time_point deadline, int nListenMs,
                     const CReceiverProbe::Progress& onProgress, const std::atomic<bool>* pbCancel)
{
    const std::unique_ptr<CProbeDevice> device = CProbeDevice::Open(strName);
    if (!device)
        return 0;
    const auto read = [&device](char* pBuffer, size_t nMax, int nWaitMs) {
        return device->Read(pBuffer, nMax, nWaitMs);
    };
    for (const int nRate : PROBE_RATES) {
        if (IsCancelled(pbCancel) || RemainingMs(deadline) <= 0 || !device->ListenAt(nRate))
            return 0;
        if (onProgress)
            onProgress(QStringLiteral("Looking for a GPS receiver: %1 at %2 baud").arg(strName).arg(nRate));
        const EHeard heard =
            Listen(read, std::min(deadline, SteadyClock::now() + std::chrono::milliseconds(nListenMs)), pbCancel);
        if (heard == EHeard::Sentence)
            return nRate;
        if (heard != EHeard::Noise)
            return 0;
    }
    return 0;
}

bool IsCharacterDevice(const QString& strPath)
{
    struct stat info = {};
    return stat(QFile::encodeName(strPath).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

QStringList DevicePatterns()
{
    if (qEnvironmentVariableIsSet("VELTRIP_PROBE_DEVICES"))
        return qEnvironmentVariable("VELTRIP_PROBE_DEVICES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    QStringList patterns;
    for (const char* szPattern : PROBE_DEFAULT_DEVICES)
        patterns << QString::fromLatin1(szPattern);
    return patterns;
}

}

CProbePlaces CProbePlaces::FromEnvironment()
{
    CProbePlaces places;
    places.m_strGpsd = qEnvironmentVariableIsSet("VELTRIP_PROBE_GPSD") ? qEnvironmentVariable("VELTRIP_PROBE_GPSD")
                                                                     : QString::fromLatin1(PROBE_DEFAULT_GPSD);
    places.m_devicePatterns = DevicePatterns();
    places.m_nListenMs = MillisecondsFromEnvironment("VELTRIP_PROBE_LISTEN_MS", PROBE_LISTEN_MS);
    places.m_nTotalMs = MillisecondsFromEnvironment("VELTRIP_PROBE_TOTAL_MS", PROBE_TOTAL_MS);
    return places;
}

std::vector<CDevicePresent> DevicesPresent(const CProbePlaces& places)
{
    std::vector<CDevicePresent> devices;
    QSet<QString> targets;
    for (const QString& strPattern : places.m_devicePatterns) {
        glob_t found = {};
        if (glob(QFile::encodeName(strPattern).constData(), 0, nullptr, &found) == 0) {
            for (size_t i = 0; i < found.gl_pathc; ++i) {
                const QString strName = QFile::decodeName(found.gl_pathv[i]);
                const QString strTarget = QFileInfo(strName).canonicalFilePath();
                if (strTarget.isEmpty() || targets.contains(strTarget) || !IsCharacterDevice(strTarget))
                    continue;
                targets.insert(strTarget);
                devices.push_back({strName, strTarget});
            }
        }
        globfree(&found);
    }
    return devices;
}

CReceiverProbe::CReceiverProbe(CProbePlaces places)
    : m_places(std::move(places))
{
}

COutcome CReceiverProbe::Run(const Progress& onProgress, const std::atomic<bool>* pbCancel)
{
    m_strPort.clear();
    m_nBaudRate = 0;
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(m_places.m_nTotalMs);
    const auto listenEnd = [this, deadline] {
        return std::min(deadline, SteadyClock::now() + std::chrono::milliseconds(m_places.m_nListenMs));
    };
    QStringList looked;
    if (!m_places.m_strGpsd.isEmpty()) {
        looked << m_places.m_strGpsd;
        if (onProgress)
            onProgress(QStringLiteral("Looking for a GPS receiver: %1").arg(m_places.m_strGpsd));
        if (NetworkSourceTalks(m_places.m_strGpsd, listenEnd(), pbCancel)) {
            m_strPort = m_places.m_strGpsd;
            return COutcome::Ok();
        }
    }
    for (const CDevicePresent& device : DevicesPresent(m_places)) {
        if (IsCancelled(pbCancel) || RemainingMs(deadline) <= 0)
            break;
        looked << device.m_strName;
        if (const int nRate = SerialDeviceRate(device.m_strName, deadline, m_places.m_nListenMs, onProgress, pbCancel)) {
            m_strPort = device.m_strName;
            m_nBaudRate = nRate;
            return COutcome::Ok();
        }
    }
    if (IsCancelled(pbCancel))
        return COutcome::Fail(EOutcome::Cancelled, QStringLiteral("The search for a GPS receiver was cancelled"));
    if (looked.isEmpty())
        return COutcome::Fail(QStringLiteral("No GPS receiver found: no gpsd and no serial device to look at"));
    return COutcome::Fail(QStringLiteral("No GPS receiver answered (%1)").arg(looked.join(QStringLiteral(", "))));
}
