#include "gps/CReceiverLink.h"

#include "platform/ModemPort.h"
#include "platform/PortName.h"
#include "platform/SerialPort.h"
#include "platform/SocketPort.h"
#include "platform/UnixSocketPort.h"

#include <algorithm>

namespace {

// Room for one read from the port; what the queue holds beyond it is read on
// the next round of the drain.
constexpr size_t GPS_READ_CHUNK = 4096;

// The kinds of port, by the form of their name; the last row takes any name.
struct PortKind
{
    bool (*pfnMatches)(const QString& strPort);
    PortOpener pfnOpen;   // in the kind's own file pair in platform/
};

const PortKind PORT_KINDS[] = {
    {[](const QString& strPort) { return IsNetworkPortName(strPort); }, OpenNetworkReceiver},
    {IsModemPortName, OpenModemReceiver},
    {IsUnixSocketPortName, OpenUnixSocketReceiver},
    {[](const QString&) { return true; }, OpenSerialReceiver},
};

std::unique_ptr<CReceiverPort> OpenReceiverPort(const QString& strPort, int nBaudRate, bool bQuiet,
                                                COutcome& outcome)
{
    const PortKind* pKind = std::find_if(std::begin(PORT_KINDS), std::end(PORT_KINDS),
                                         [&strPort](const PortKind& kind) { return kind.pfnMatches(strPort); });
    return pKind->pfnOpen(strPort, nBaudRate, bQuiet, outcome);
}

}

CReceiverLink::CReceiverLink() = default;

CReceiverLink::~CReceiverLink() = default;

COutcome CReceiverLink::Open(const QString& strPort, int nBaudRate)
{
    // The port is gone before any message box runs, so ticks that arrive
    // meanwhile read nothing (and do not reopen the old one).
    Close();
    COutcome outcome;
    m_hPort = OpenReceiverPort(strPort, nBaudRate, false, outcome);
    if (!m_hPort)
        return outcome;
    m_strReopenPort = strPort;
    m_nReopenBaudRate = nBaudRate;
    return outcome;
}

void CReceiverLink::Close()
{
    m_hPort.reset();
    m_strReopenPort.clear();
}

bool CReceiverLink::Reopen()
{
    // A receiver unplugged, a server stopped: try the same port again every
    // few ticks, without a word, until it is back.
    if (m_hPort || m_strReopenPort.isEmpty() || ++m_nReopenTicks < GPS_REOPEN_TICKS)
        return false;
    m_nReopenTicks = 0;
    COutcome ignored;
    m_hPort = OpenReceiverPort(m_strReopenPort, m_nReopenBaudRate, true, ignored);
    return m_hPort != nullptr;
}

void CReceiverLink::Drain(const std::function<void(const char* pData, size_t nLength)>& onBytes)
{
    char buffer[GPS_READ_CHUNK];
    size_t nBudget = GPS_TICK_BYTES;
    while (m_hPort && nBudget > 0) {
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
        onBytes(buffer, static_cast<size_t>(nRead));
        nBudget -= nWant;
    }
}
