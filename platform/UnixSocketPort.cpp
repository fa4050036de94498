#include "platform/UnixSocketPort.h"

#include "platform/SocketPort.h"

#include <QFile>
#include <cerrno>

namespace {

const QLatin1StringView UNIX_SOCKET_SCHEME("unix:");

// A local server answers at once; the waits only bound a server that is
// starting or whose queue is full.
constexpr int UNIX_CONNECT_WAIT_MS = 1000;
constexpr int UNIX_RECONNECT_WAIT_MS = 50;

}

bool IsUnixSocketPortName(const QString& strName)
{
    return strName.startsWith(UNIX_SOCKET_SCHEME, Qt::CaseInsensitive);
}

std::unique_ptr<CReceiverPort> OpenUnixSocketReceiver(const QString& strPort, int, bool bQuiet, COutcome& outcome)
{
    const QByteArray path = QFile::encodeName(strPort.mid(UNIX_SOCKET_SCHEME.size()));
    std::unique_ptr<CSocketPort> port = CSocketPort::ConnectLocal(
        path.toStdString(), bQuiet ? UNIX_RECONNECT_WAIT_MS : UNIX_CONNECT_WAIT_MS, !bQuiet);
    if (!port)
        outcome = PortOpenFailure(strPort, path.isEmpty() ? 0 : errno);
    return port;
}
