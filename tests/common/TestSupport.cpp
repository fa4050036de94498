#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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
