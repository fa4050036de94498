#include "gps/CGpsTracker.h"

#include "platform/DevicePaths.h"
#include "platform/LogFile.h"
#include "platform/MessageHook.h"
#include "platform/PortName.h"
#include "platform/SerialPort.h"
#include "platform/SocketPort.h"

#include <algorithm>
#include <optional>

CGpsTracker::CGpsTracker() = default;

CGpsTracker::~CGpsTracker() = default;

namespace {

// Room for one read from the port; what the queue holds beyond it is read on
// the next round of the drain.
constexpr size_t GPS_READ_CHUNK = 4096;

// A user who is waiting for the port may wait this long for a network
// receiver; a quiet reopen during a tick waits only briefly and lets a
// connection still under way complete during later ticks.
constexpr int GPS_CONNECT_WAIT_MS = 2000;
constexpr int GPS_RECONNECT_WAIT_MS = 50;

// Opens the port by its setting's name. Unless bQuiet, a failure is shown
// to the user with the reason.
std::unique_ptr<CReceiverPort> OpenReceiverPort(const QString& strPort, int nBaudRate, bool bQuiet)
{
    const auto fail = [bQuiet](const QString& strMessage) {
        if (!bQuiet)
            ShowMessage(strMessage);
        return nullptr;
    };
    if (IsNetworkPortName(strPort)) {
        const std::optional<NetworkPort> address = ParseNetworkPort(strPort);
        std::unique_ptr<CSocketPort> port;
        if (address)
            port = CSocketPort::Connect(*address, bQuiet ? GPS_RECONNECT_WAIT_MS : GPS_CONNECT_WAIT_MS, !bQuiet);
        if (!port)
            return fail(QStringLiteral("Kan %1 niet openen").arg(strPort));
        return port;
    }
    std::unique_ptr<CSerialPort> port = CSerialPort::Open(SerialDevicePath(strPort));
    if (!port)
        return fail(QStringLiteral("Kan %1 niet openen").arg(strPort));
    if (!port->ReadLineSettings())
        return fail(QStringLiteral("Kan geen status opvragen"));
    if (!port->WriteLineSettings(nBaudRate))
        return fail(QStringLiteral("Kan de poort niet instellen"));
    return port;
}

}

bool CGpsTracker::OpenPort(const QString& strPort, int nBaudRate)
{
    // The port is gone before any message box runs, so ticks that arrive
    // meanwhile read nothing (and do not reopen the old one).
    ClosePort();
    m_hPort = OpenReceiverPort(strPort, nBaudRate, false);
    if (!m_hPort)
        return false;
    m_strReopenPort = strPort;
    m_nReopenBaudRate = nBaudRate;
    m_nLineLen = 0;
    return true;
}

void CGpsTracker::ClosePort()
{
    m_hPort.reset();
    m_strReopenPort.clear();
}

void CGpsTracker::BeginTick()
{
    ++m_nSecsSinceLog;
    m_nUpdateFlags = 0;
    m_bRmcValid = 0;
    m_nFixQuality = 0;
}

void CGpsTracker::PollPort()
{
    BeginTick();
    if (!m_hPort) {
        // A receiver unplugged, a server stopped: try the same port again
        // every few ticks, without a word, until it is back.
        if (m_strReopenPort.isEmpty() || ++m_nReopenTicks < GPS_REOPEN_TICKS)
            return;
        m_nReopenTicks = 0;
        m_hPort = OpenReceiverPort(m_strReopenPort, m_nReopenBaudRate, true);
        if (!m_hPort)
            return;
        m_nLineLen = 0;
    }
    char buffer[GPS_READ_CHUNK];
    size_t nBudget = GPS_TICK_BYTES;
    while (nBudget > 0) {
        const int nWaiting = m_hPort->BytesWaiting();
        if (nWaiting == 0)
            return;
        size_t nWant = 0;
        ptrdiff_t nRead = -1;
        if (nWaiting > 0) {
            nWant = std::min({static_cast<size_t>(nWaiting), sizeof buffer, nBudget});
            nRead = m_hPort->Read(buffer, nWant);
        }
        if (nRead < 0) {
            m_hPort.reset();
            m_nReopenTicks = 0;
            return;
        }
        AssembleBytes(buffer, static_cast<size_t>(nRead));
        nBudget -= nWant;
    }
}

void CGpsTracker::AssembleBytes(const char* pData, size_t nLength)
{
    for (size_t i = 0; i < nLength; ++i) {
        const char chByte = pData[i];
        if (chByte == '$')
            m_nLineLen = 0;
        if (m_nLineLen >= GPS_LINE_SIZE) {
            // Too long for any sentence: drop it with this byte.
            m_nLineLen = 0;
            continue;
        }
        m_szLine[m_nLineLen++] = chByte;
        if (chByte != '\n')
            continue;
        const int32_t nText = m_nLineLen - 1;
        m_szLine[nText] = '\0';
        // NMEA is ASCII; each byte becomes the character of the same code.
        char16_t wide[GPS_LINE_SIZE];
        for (int32_t j = 0; j < nText; ++j)
            wide[j] = static_cast<unsigned char>(m_szLine[j]);
        ProcessSentence(QStringView(wide, nText));
        m_nLineLen = 0;
    }
}
