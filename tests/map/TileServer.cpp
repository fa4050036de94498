#include "tests/map/TileServer.h"

#include "tests/common/TestSupport.h"

#include <QJsonDocument>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

CTileServer::CTileServer(const QString& strLog)
    : m_strLog(strLog)
{
    m_process.start(QStringLiteral("python3"), {QStringLiteral(VELTRIP_SOURCE_DIR "/tests/map/tile_server.py"), strLog});
    if (m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000))
        m_nPort = m_process.readLine().trimmed().toInt();
}

CTileServer::~CTileServer()
{
    Stop();
}

void CTileServer::Stop()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString CTileServer::Url() const
{
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_nPort);
}

bool CTileServer::SetMode(const char* szMode) const
{
    const int hSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(uint16_t(m_nPort));
    const QByteArray request = QByteArray("GET /_mode/") + szMode + " HTTP/1.0\r\n\r\n";
    char reply[256] = {};
    const bool bOk = ::connect(hSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
                     && ::write(hSocket, request.constData(), size_t(request.size())) == request.size()
                     && ::read(hSocket, reply, sizeof reply - 1) > 0;
    ::close(hSocket);
    return bOk && QByteArray(reply).contains(" 200 ");
}

std::vector<QJsonObject> CTileServer::Requests() const
{
    std::vector<QJsonObject> requests;
    for (const QByteArray& line : ReadAll(m_strLog).split('\n'))
        if (!line.isEmpty())
            requests.push_back(QJsonDocument::fromJson(line).object());
    return requests;
}
