#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

QString BuildDir()
{
    return QStringLiteral(VELTRIP_BINARY_DIR);
}

QString CliProgram()
{
    return BuildDir() + QStringLiteral("/tools/veltrip-cli");
}

QString CorpusDir()
{
    return QDir::cleanPath(QStringLiteral(VELTRIP_SHARED_DIR "/corpus"));
}

bool HaveCorpus()
{
    return QDir(CorpusDir()).exists();
}

CMessageCapture::CMessageCapture()
{
    m_previous = SetMessageHook([this](const QString& strText) { m_messages.append(strText); });
}

CMessageCapture::~CMessageCapture()
{
    SetMessageHook(std::move(m_previous));
}

QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}


int ListenOnLoopback(int& nPort)
{
    const int hListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nSize = sizeof addr;
    if (bind(hListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(hListen, 4) == 0
        && getsockname(hListen, reinterpret_cast<sockaddr*>(&addr), &nSize) == 0)
        nPort = ntohs(addr.sin_port);
    return hListen;
}

int AcceptClient(int hListen, int nWaitMs)
{
    struct pollfd pfd = {hListen, POLLIN, 0};
    if (poll(&pfd, 1, nWaitMs) != 1)
        return -1;
    return accept4(hListen, nullptr, nullptr, SOCK_CLOEXEC);
}

CFakeGpsd::CFakeGpsd(QByteArray nmea)
    : m_nmea(std::move(nmea))
{
    m_hListen = ListenOnLoopback(m_nPort);
    m_thread = std::thread([this] { Serve(); });
}

CFakeGpsd::~CFakeGpsd()
{
    m_bStop = true;
    m_thread.join();
    close(m_hListen);
}

QString CFakeGpsd::PortName() const
{
    return QStringLiteral("gpsd://127.0.0.1:%1").arg(m_nPort);
}

void CFakeGpsd::Serve()
{
    constexpr int FAKE_GPSD_REPORTS = 30;
    constexpr auto FAKE_GPSD_STEP = std::chrono::milliseconds(100);
    constexpr int FAKE_GPSD_ACCEPT_MS = 50;
    while (!m_bStop) {
        const int hClient = AcceptClient(m_hListen, FAKE_GPSD_ACCEPT_MS);
        if (hClient < 0)
            continue;
        const QByteArray greeting = "{\"class\":\"VERSION\",\"release\":\"3.22\"}\r\n";
        send(hClient, greeting.constData(), size_t(greeting.size()), MSG_NOSIGNAL);
        for (int i = 0; i < FAKE_GPSD_REPORTS && !m_bStop; ++i) {
            const QByteArray report = "{\"class\":\"TPV\"}\r\n" + m_nmea;
            if (send(hClient, report.constData(), size_t(report.size()), MSG_NOSIGNAL) < 0)
                break;
            std::this_thread::sleep_for(FAKE_GPSD_STEP);
        }
        close(hClient);
    }
}
