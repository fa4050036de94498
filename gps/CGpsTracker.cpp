#include "gps/CGpsTracker.h"

#include "platform/DevicePaths.h"
#include "platform/LogFile.h"
#include "platform/MessageHook.h"
#include "platform/SerialPort.h"

#include <algorithm>

namespace {

// Room for one read from the port; what the queue holds beyond it is read on
// the next round of the drain.
constexpr size_t GPS_READ_CHUNK = 4096;

}

CGpsTracker::CGpsTracker() = default;

CGpsTracker::~CGpsTracker() = default;

bool CGpsTracker::OpenPort(const QString& strPort, int nBaudRate)
{
    // The port is gone before any message box runs, so ticks that arrive
    // meanwhile read nothing.
    m_hPort.reset();
    std::unique_ptr<CSerialPort> port = CSerialPort::Open(SerialDevicePath(strPort));
    if (!port) {
        ShowMessage(QStringLiteral("Kan %1 niet openen").arg(strPort));
        return false;
    }
    if (!port->ReadLineSettings()) {
        port.reset();
        ShowMessage(QStringLiteral("Kan geen status opvragen"));
        return false;
    }
    if (!port->WriteLineSettings(nBaudRate)) {
        port.reset();
        ShowMessage(QStringLiteral("Kan de poort niet instellen"));
        return false;
    }
    m_hPort = std::move(port);
    m_nLineLen = 0;
    return true;
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
    if (!m_hPort)
        return;
    char buffer[GPS_READ_CHUNK];
    int nWaiting = m_hPort->BytesWaiting();
    while (nWaiting > 0) {
        const size_t nWant = std::min(static_cast<size_t>(nWaiting), sizeof buffer);
        const ptrdiff_t nRead = m_hPort->Read(buffer, nWant);
        if (nRead <= 0)
            return;
        AssembleBytes(buffer, static_cast<size_t>(nRead));
        nWaiting = m_hPort->BytesWaiting();
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
