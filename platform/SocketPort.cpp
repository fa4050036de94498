#include "platform/SocketPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <map>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

const int SOCKET_KEEPALIVE_IDLE_S = 10;
const int SOCKET_KEEPALIVE_INTERVAL_S = 5;
const int SOCKET_KEEPALIVE_PROBES = 3;

// How long OpenNetworkReceiver waits for the connection: a user who is
// waiting for the port, or a quiet reopen during a tick.
constexpr int SOCKET_CONNECT_WAIT_MS = 2000;
constexpr int SOCKET_RECONNECT_WAIT_MS = 50;

int RemainingMs(SteadyClock::time_point deadline)
{
    const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return nLeft.count() > 0 ? static_cast<int>(nLeft.count()) : 0;
}

// One address a name resolved to, kept past freeaddrinfo.
struct SocketAddress
{
    int nFamily;
    int nType;
    int nProtocol;
    struct sockaddr_storage address;
    socklen_t nLength;
};

// The addresses of each "host:port" when it was last resolved. A quiet
// reopen uses them: a resolver gone silent (no network, a dead DNS server)
// would otherwise hold every tick for seconds.
std::map<std::string, std::vector<SocketAddress>> g_resolved;

// Resolves the address, or with bMayWait false only recalls what it last
// resolved to; false when there is nothing to try.
bool ResolveAddress(const NetworkPort& address, bool bMayWait, std::vector<SocketAddress>& addresses)
{
    const std::string strService = std::to_string(address.nPort);
    const std::string strKey = address.strHost + ':' + strService;
    if (!bMayWait) {
        const auto it = g_resolved.find(strKey);
        if (it == g_resolved.end())
            return false;
        addresses = it->second;
        return !addresses.empty();
    }
    struct addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    struct addrinfo* pList = nullptr;
    if (getaddrinfo(address.strHost.c_str(), strService.c_str(), &hints, &pList) != 0)
        return false;
    addresses.clear();
    for (const struct addrinfo* pAddr = pList; pAddr; pAddr = pAddr->ai_next) {
        SocketAddress& one = addresses.emplace_back();
        one.nFamily = pAddr->ai_family;
        one.nType = pAddr->ai_socktype;
        one.nProtocol = pAddr->ai_protocol;
        one.nLength = std::min<socklen_t>(pAddr->ai_addrlen, sizeof one.address);
        std::memcpy(&one.address, pAddr->ai_addr, one.nLength);
    }
    freeaddrinfo(pList);
    g_resolved[strKey] = addresses;
    return !addresses.empty();
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
    std::vector<SocketAddress> addresses;
    if (!ResolveAddress(address, bMustConnect, addresses))
        return nullptr;

    // Each address in turn ("localhost" may be ::1 first while the server
    // listens on 127.0.0.1 only); refusals come back at once.
    std::unique_ptr<CSocketPort> result;
    for (size_t i = 0; i < addresses.size() && !result; ++i) {
        const SocketAddress& one = addresses[i];
        int nState = -1;
        std::unique_ptr<CSocketPort> port =
            StartConnect(one.nFamily, one.nType, one.nProtocol, reinterpret_cast<const struct sockaddr*>(&one.address),
                         one.nLength, address.nKind == NetworkPortKind::Gpsd, RemainingMs(deadline), nState);
        const bool bLast = i + 1 == addresses.size();
        if (port && (nState > 0 || (nState == 0 && !bMustConnect && bLast)))
            result = std::move(port);
    }
    return result;
}

std::unique_ptr<CSocketPort> CSocketPort::ConnectLocal(const std::string& strPath, int nWaitMs, bool bMustConnect)
{
    struct sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (strPath.empty() || strPath.size() >= sizeof address.sun_path || strPath.find('\0') != std::string::npos) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(address.sun_path, strPath.data(), strPath.size());
    int nState = -1;
    std::unique_ptr<CSocketPort> port =
        StartConnect(AF_UNIX, SOCK_STREAM, 0, reinterpret_cast<const struct sockaddr*>(&address),
                     socklen_t(offsetof(struct sockaddr_un, sun_path) + strPath.size() + 1), false, nWaitMs, nState);
    if (port && (nState > 0 || (nState == 0 && !bMustConnect)))
        return port;
    return nullptr;
}

std::unique_ptr<CSocketPort> CSocketPort::StartConnect(int nFamily, int nType, int nProtocol,
                                                       const struct sockaddr* pAddress, socklen_t nLength,
                                                       bool bGpsd, int nWaitMs, int& nState)
{
    const int hSocket = socket(nFamily, nType | SOCK_NONBLOCK | SOCK_CLOEXEC, nProtocol);
    if (hSocket < 0)
        return nullptr;
    std::unique_ptr<CSocketPort> port(new CSocketPort(hSocket, bGpsd));
    if (nFamily != AF_UNIX) {
        // A phone that leaves the network closes nothing; keep-alive probes
        // find the dead peer within half a minute so that the port is
        // reopened like one that was closed.
        const int nOn = 1;
        setsockopt(hSocket, SOL_SOCKET, SO_KEEPALIVE, &nOn, sizeof nOn);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPIDLE, &SOCKET_KEEPALIVE_IDLE_S, sizeof SOCKET_KEEPALIVE_IDLE_S);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPINTVL, &SOCKET_KEEPALIVE_INTERVAL_S,
                   sizeof SOCKET_KEEPALIVE_INTERVAL_S);
        setsockopt(hSocket, IPPROTO_TCP, TCP_KEEPCNT, &SOCKET_KEEPALIVE_PROBES, sizeof SOCKET_KEEPALIVE_PROBES);
    }
    if (connect(hSocket, pAddress, nLength) != 0 && errno != EINPROGRESS) {
        const int nError = errno;
        port.reset();
        errno = nError;
        return nullptr;
    }
    nState = port->FinishConnect(nWaitMs);
    return port;
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

std::unique_ptr<CReceiverPort> OpenNetworkReceiver(const QString& strPort, int, bool bQuiet, COutcome& outcome)
{
    const std::optional<NetworkPort> address = ParseNetworkPort(strPort);
    std::unique_ptr<CSocketPort> port;
    if (address)
        port = CSocketPort::Connect(*address, bQuiet ? SOCKET_RECONNECT_WAIT_MS : SOCKET_CONNECT_WAIT_MS, !bQuiet);
    // A name that is no address fails without a system error.
    if (!port)
        outcome = PortOpenFailure(strPort, address ? errno : 0);
    return port;
}
