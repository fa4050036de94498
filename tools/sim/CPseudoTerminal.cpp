#include "tools/sim/CPseudoTerminal.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

CPseudoTerminal::~CPseudoTerminal()
{
    if (!m_strLink.isEmpty() && QFileInfo(m_strLink).symLinkTarget() == m_strDevice)
        QFile::remove(m_strLink);
    if (m_nSlave >= 0)
        ::close(m_nSlave);
    if (m_nMaster >= 0)
        ::close(m_nMaster);
}

bool CPseudoTerminal::Open(const QString& strLink, QString& strError)
{
    m_nMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_nMaster < 0 || ::grantpt(m_nMaster) != 0 || ::unlockpt(m_nMaster) != 0) {
        strError = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    char szName[128] = {};
    if (::ptsname_r(m_nMaster, szName, sizeof szName) != 0) {
        strError = QStringLiteral("cannot name the pseudo-terminal");
        return false;
    }
    m_strDevice = QString::fromLocal8Bit(szName);

    // Keeping the device end open ourselves lets a reader come and go without
    // the pair hanging up; raw mode keeps the sentences byte for byte.
    m_nSlave = ::open(szName, O_RDWR | O_NOCTTY);
    if (m_nSlave < 0) {
        strError = QStringLiteral("cannot open %1: %2").arg(m_strDevice, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    termios tio {};
    if (::tcgetattr(m_nSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_nSlave, TCSANOW, &tio);
    }

    if (!strLink.isEmpty()) {
        const QFileInfo link(strLink);
        if (link.isSymLink() || link.exists())
            QFile::remove(strLink);
        if (::symlink(szName, QFile::encodeName(strLink).constData()) != 0) {
            strError = QStringLiteral("cannot create the link %1: %2").arg(strLink, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_strLink = strLink;
    }
    return true;
}

bool CPseudoTerminal::Write(const QByteArray& data)
{
    qsizetype nDone = 0;
    bool bFlushed = false;
    while (nDone < data.size()) {
        const ssize_t n = ::write(m_nMaster, data.constData() + nDone, size_t(data.size() - nDone));
        if (n > 0) {
            nDone += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && !bFlushed) {
            ::tcflush(m_nSlave, TCIFLUSH);
            bFlushed = true;
            continue;
        }
        return false;
    }
    return true;
}

QByteArray CPseudoTerminal::ReadSent()
{
    QByteArray sent;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(m_nMaster, buffer, sizeof buffer)) > 0)
        sent.append(buffer, n);
    return sent;
}

QString DefaultSimLink()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/veltrip-sim");
    return QStringLiteral("/tmp/veltrip-sim-%1").arg(::getuid());
}
