#pragma once

#include "platform/Outcome.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class CReceiverPort;

// Input handled by one tick at most; the rest waits for the next tick, so a
// flood of bytes cannot hold up the window.
constexpr size_t GPS_TICK_BYTES = 256 * 1024;
constexpr int GPS_REOPEN_TICKS = 3;

// The link to the receiver: the open port of any kind (serial device, gpsd,
// TCP stream, a modem's GPS, a Unix socket) and, once a port has opened, its quiet reopening when it goes
// away.
class CReceiverLink
{
public:
    CReceiverLink();
    ~CReceiverLink();
    CReceiverLink(const CReceiverLink&) = delete;
    CReceiverLink& operator=(const CReceiverLink&) = delete;

    // Opens a port by its setting's name; a failure carries the message the
    // user is shown. The port this replaces is closed first.
    COutcome Open(const QString& strPort, int nBaudRate);
    // Closes the port for good: it is not reopened.
    void Close();

    // Once a tick while the port is lost: every GPS_REOPEN_TICKS calls, tries
    // to open the same port again, without a word. True when it is back.
    bool Reopen();

    // Hands what the port holds, up to GPS_TICK_BYTES, to onBytes in order,
    // without waiting for more. A port that fails is dropped, to be reopened.
    void Drain(const std::function<void(const char* pData, size_t nLength)>& onBytes);

    bool IsOpen() const { return m_hPort != nullptr; }

    std::unique_ptr<CReceiverPort> m_hPort;  // null: no port open
    QString m_strReopenPort;                 // reopened when lost; empty: none
    int32_t m_nReopenBaudRate = 0;
    int32_t m_nReopenTicks = 0;
};
