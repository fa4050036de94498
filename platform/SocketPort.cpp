#include "platform/SocketPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

const int SOCKET_KEEPALIVE_IDLE_S = 10;
const int SOCKET_KEEPALIVE_INTERVAL_S = 5;
const int SOCKET_KEEPALIVE_PROBES = 3;

int RemainingMs(SteadyClock::time_point deadline)
{
    const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return nLeft.count() > 0 ? static_cast<int>(nLeft.count()) : 0;
}

}

CSocketPort::CSocketPort(int hSocket, bool bGpsd)
    : m_hSocket(hSocket)
    , m_bGpsd(bGpsd)
{
}

CSocketPort::~CSocketPort()
{
    close(m_hSocket);
}

std::unique_ptr<CSocketPort> CSocketPort::Connect(const NetworkPort& address, int nWaitMs, bool bMustConnect)
{
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(nWaitMs);
    struct addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    struct addrinfo* pList = nullptr;
    const std::string strService = std::to_string(address.nPort);
    if (getaddrinfo(address.strHost.c_str(), strService.c_str(), &hints, &pList) != 0)
        return nullptr;

    // Each address in turn ("localhost" may be ::1 first while the server
    // listens on 127.0.0.1 only); refusals come back at once.
    std::unique_ptr<CSocketPort> result;
    for (const struct addrinfo* pAddr = pList; pAddr && !result; pAddr = pAddr->ai_next) {
        const int hSocket = socket(pAddr->ai_family, pAddr->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   pAddr->ai_protocol);
        if (hSocket < 0)
            continue;
        std::unique_ptr<CSocketPort> port(new CSocketPort(hSocket, address.nKind == NetworkPortKind::Gpsd));
        // A phone that leaves the network closes nothing; keep-alive probes
        // find the dead peer within half a minute so that the port is
        // reopened like one that was closed.
        const int nOn = 1;
        setsockopt(hSocket, SOL_SOCKET, SO_KEEPALIVE, &nOn, sizeof nOn);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPIDLE, &SOCKET_KEEPALIVE_IDLE_S, sizeof SOCKET_KEEPALIVE_IDLE_S);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPINTVL, &SOCKET_KEEPALIVE_INTERVAL_S,
                   sizeof SOCKET_KEEPALIVE_INTERVAL_S);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPCNT, &SOCKET_KEEPALIVE_PROBES, sizeof SOCKET_KEEPALIVE_PROBES);
        if (connect(hSocket, pAddr->ai_addr, pAddr->ai_addrlen) != 0 && errno != EINPROGRESS)
            continue;
        const int nState = port->FinishConnect(RemainingMs(deadline));
        const bool bLast = pAddr->ai_next == nullptr;
        if (nState > 0 || (nState == 0 && !bMustConnect && bLast))
            result = std::move(port);
    }
    freeaddrinfo(pList);
    return result;
}

bool CSocketPort::GpsdAnswers(const NetworkPort& address, int nWaitMs)
{
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(nWaitMs);
    const std::unique_ptr<CSocketPort> port =
        Connect(NetworkPort{NetworkPortKind::Tcp, address.strHost, address.nPort}, nWaitMs, true);
    if (!port)
        return false;
    // gpsd greets every client with its version object.
    static const char GPSD_GREETING[] = "{\"class\":\"VERSION\"";
    char greeting[sizeof GPSD_GREETING - 1];
    size_t nHave = 0;
    while (nHave < sizeof greeting) {
        struct pollfd pfd = {port->m_hSocket, POLLIN, 0};
        if (poll(&pfd, 1, RemainingMs(deadline)) <= 0)
            return false;
        const ssize_t nRead = recv(port->m_hSocket, greeting + nHave, sizeof greeting - nHave, MSG_DONTWAIT);
        if (nRead <= 0)
            return false;
        nHave += static_cast<size_t>(nRead);
    }
    return std::memcmp(greeting, GPSD_GREETING, sizeof greeting) == 0;
}

int CSocketPort::FinishConnect(int nWaitMs)
{
    if (m_bConnected)
        return 1;
    struct pollfd pfd = {m_hSocket, POLLOUT, 0};
    const int nReady = poll(&pfd, 1, nWaitMs);
    if (nReady < 0)
        return errno == EINTR ? 0 : -1;
    if (nReady == 0)
        return 0;
    int nError = 0;
    socklen_t nSize = sizeof nError;
    if (getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &nError, &nSize) != 0 || nError != 0)
        return -1;
    m_bConnected = true;
    if (m_bGpsd) {
        // A few dozen bytes into an empty socket buffer: sent at once or never.
        const size_t nLength = std::strlen(GPSD_WATCH_NMEA);
        if (send(m_hSocket, GPSD_WATCH_NMEA, nLength, MSG_NOSIGNAL) != static_cast<ssize_t>(nLength))
            return -1;
    }
    return 1;
}

int CSocketPort::BytesWaiting()
{
    const int nState = FinishConnect(0);
    if (nState <= 0)
        return nState;
    int nCount = 0;
    if (ioctl(m_hSocket, FIONREAD, &nCount) != 0)
        return -1;
    if (nCount > 0)
        return nCount;
    // A count of 0 is no end of stream: bytes may arrive after it, and the
    // count leaves out urgent data. Only an end the peer sent reads as 0.
    char chByte = 0;
    const ssize_t nPeeked = recv(m_hSocket, &chByte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (nPeeked > 0)
        return 1;
    if (nPeeked == 0)
        return -1;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

ptrdiff_t CSocketPort::Read(char* pBuffer, size_t nMax)
{
    if (!m_bConnected)
        return 0;
    const ssize_t nRead = recv(m_hSocket, pBuffer, nMax, MSG_DONTWAIT);
    if (nRead == 0)
        return -1;
    if (nRead < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    if (!m_bGpsd)
        return nRead;
    return static_cast<ptrdiff_t>(m_filter.Filter(pBuffer, static_cast<size_t>(nRead)));
}
