#pragma once

#include "platform/GpsdStream.h"
#include "platform/PortName.h"
#include "platform/ReceiverPort.h"

#include <memory>
#include <string>
#include <sys/socket.h>

// A receiver on a stream socket: a plain NMEA byte stream over TCP or a Unix
// socket, or gpsd's NMEA stream. The connection is made without blocking the
// caller beyond the wait it names; one still under way completes during
// later queries.
class CSocketPort : public CReceiverPort
{
public:
    ~CSocketPort() override;

    // Connects to the address, waiting at most nWaitMs. With bMustConnect the
    // connection has to be made within that wait; otherwise one still under
    // way is returned and completes (or fails) later. Null on failure.
    // Without bMustConnect (a quiet reopen) the name is not resolved again:
    // the addresses it had when last connected with bMustConnect are tried,
    // so a silent resolver cannot hold the caller.
    static std::unique_ptr<CSocketPort> Connect(const NetworkPort& address, int nWaitMs, bool bMustConnect);

    // Connects to the Unix stream socket at the path, as Connect does; null
    // with errno set on failure.
    static std::unique_ptr<CSocketPort> ConnectLocal(const std::string& strPath, int nWaitMs, bool bMustConnect);

    // Whether a gpsd answers at the address (its greeting within nWaitMs);
    // at most about nWaitMs in all.
    static bool GpsdAnswers(const NetworkPort& address, int nWaitMs);

    int BytesWaiting() override;
    ptrdiff_t Read(char* pBuffer, size_t nMax) override;

private:
    CSocketPort(int hSocket, bool bGpsd);
    // A socket of the address's kind with its connection started: null when
    // that fails at once, else the port with FinishConnect's state in nState.
    static std::unique_ptr<CSocketPort> StartConnect(int nFamily, int nType, int nProtocol,
                                                     const struct sockaddr* pAddress, socklen_t nLength,
                                                     bool bGpsd, int nWaitMs, int& nState);
    // Finishes a connection under way, waiting at most nWaitMs: 1 connected,
    // 0 still under way, -1 failed.
    int FinishConnect(int nWaitMs);

    int m_hSocket;
    bool m_bGpsd;
    bool m_bConnected = false;
    CGpsdLineFilter m_filter;
};

// The network kind of receiver port: "gpsd://HOST[:PORT]" or "tcp://HOST:PORT"
// (a PortOpener). A user who is waiting may wait a while for the connection;
// a quiet reopen lets one still under way complete during later ticks.
std::unique_ptr<CReceiverPort> OpenNetworkReceiver(const QString& strPort, int nBaudRate, bool bQuiet,
                                                   COutcome& outcome);
