#include "platform/ProbeDevice.h"

#include "platform/SerialPort.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Whether another program holds the device: TIOCEXCL keeps out everyone but
// root, so the probe asks for the mode rather than relying on the refusal;
// veltrip's own ports also hold an exclusive lock.
bool HeldByAnother(int hFile)
{
    int nExclusive = 0;
    if (ioctl(hFile, TIOCGEXCL, &nExclusive) == 0 && nExclusive)
        return true;
    if (flock(hFile, LOCK_SH | LOCK_NB) != 0)
        return true;
    flock(hFile, LOCK_UN);
    return false;
}

}

CProbeDevice::CProbeDevice(int hFile)
    : m_hFile(hFile)
{
}

CProbeDevice::~CProbeDevice()
{
    if (m_bChanged)
        tcsetattr(m_hFile, TCSANOW, &m_original);
    close(m_hFile);
}

std::unique_ptr<CProbeDevice> CProbeDevice::Open(const QString& strPath)
{
    const QByteArray path = strPath.toLocal8Bit();
    if (path.isEmpty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Read only, and never the controlling terminal of this process.
    const int hFile = open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (hFile < 0)
        return nullptr;
    std::unique_ptr<CProbeDevice> device(new CProbeDevice(hFile));
    if (tcgetattr(hFile, &device->m_original) != 0)
        return nullptr;
    if (HeldByAnother(hFile)) {
        errno = EBUSY;
        return nullptr;
    }
    return device;
}

bool CProbeDevice::ListenAt(int nBaudRate)
{
    const speed_t nCode = StandardRateCode(nBaudRate);
    if (nCode == B0)
        return false;
    struct termios settings = m_original;
    cfmakeraw(&settings);
    // Bytes garbled by a wrong rate still arrive (as such), so that a device
    // that is silent can be told from one at another rate.
    settings.c_iflag &= ~(IGNPAR | INPCK);
    settings.c_cflag |= CREAD | CLOCAL;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, nCode) != 0 || cfsetospeed(&settings, nCode) != 0)
        return false;
    m_bChanged = true;
    if (tcsetattr(m_hFile, TCSANOW, &settings) != 0)
        return false;
    return tcflush(m_hFile, TCIFLUSH) == 0;
}

ptrdiff_t CProbeDevice::Read(char* pBuffer, size_t nMax, int nWaitMs)
{
    struct pollfd pfd = {m_hFile, POLLIN, 0};
    const int nReady = poll(&pfd, 1, nWaitMs);
    if (nReady < 0)
        return errno == EINTR ? 0 : -1;
    if (nReady == 0)
        return 0;
    // A hang-up or an error with nothing left to read ends the listening.
    const bool bGone = (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (!(pfd.revents & POLLIN))
        return -1;
    const ssize_t nRead = read(m_hFile, pBuffer, nMax);
    if (nRead < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    return nRead == 0 && bGone ? -1 : nRead;
}
