#include "platform/SerialPort.h"

#include "platform/DevicePaths.h"
#include "platform/SerialBaudRate.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

struct SerialRate
{
    int nRate;
    speed_t nCode;
};

const SerialRate SERIAL_RATES[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
    {4000000, B4000000},
};

}

speed_t StandardRateCode(int nBaudRate)
{
    for (const SerialRate& rate : SERIAL_RATES) {
        if (rate.nRate == nBaudRate)
            return rate.nCode;
    }
    return B0;
}

CSerialPort::CSerialPort(int fd)
    : m_hFile(fd)
{
}

CSerialPort::~CSerialPort()
{
    close(m_hFile);
}

std::unique_ptr<CSerialPort> CSerialPort::Open(const QString& strPath)
{
    const QByteArray path = strPath.toLocal8Bit();
    if (path.isEmpty())
        return nullptr;
    const int fd = open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<CSerialPort> port(new CSerialPort(fd));
    // TIOCEXCL keeps other programs out but not root, so a lock on the
    // device keeps a second copy of this program out as well. A device that
    // is no terminal is left for the settings query to refuse.
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY)
        return nullptr;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    return port;
}

bool CSerialPort::ReadLineSettings()
{
    return tcgetattr(m_hFile, &m_settings) == 0;
}

bool CSerialPort::WriteLineSettings(int nBaudRate)
{
    if (nBaudRate <= 0)
        return false;
    struct termios settings = m_settings;
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    // The receiver needs no modem lines; without CLOCAL a missing carrier
    // would hang the line up.
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    // Raw input: bytes arrive exactly as sent. Handshake flags stay as the
    // device had them.
    settings.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
    settings.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;

    const speed_t nCode = StandardRateCode(nBaudRate);
    if (nCode != B0 && (cfsetispeed(&settings, nCode) != 0 || cfsetospeed(&settings, nCode) != 0))
        return false;
    if (tcsetattr(m_hFile, TCSANOW, &settings) != 0)
        return false;
    // tcsetattr succeeds when any part of the change was taken; check it all.
    struct termios applied = {};
    if (tcgetattr(m_hFile, &applied) != 0)
        return false;
    if ((applied.c_cflag & (CSIZE | PARENB | CSTOPB)) != CS8)
        return false;
    if (nCode != B0 ? cfgetospeed(&applied) != nCode : !SetArbitraryBaudRate(m_hFile, nBaudRate))
        return false;

    // Pseudo-terminals have no modem lines and refuse with ENOTTY.
    int nLines = TIOCM_DTR | TIOCM_RTS;
    return ioctl(m_hFile, TIOCMBIC, &nLines) == 0 || errno == ENOTTY;
}

int CSerialPort::BytesWaiting()
{
    // A device that has gone away may still answer FIONREAD with 0; the
    // hang-up shows in poll().
    struct pollfd pfd = {m_hFile, POLLIN, 0};
    if (poll(&pfd, 1, 0) < 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return -1;
    int nCount = 0;
    if (ioctl(m_hFile, FIONREAD, &nCount) != 0)
        return -1;
    return nCount;
}

ptrdiff_t CSerialPort::Read(char* pBuffer, size_t nMax)
{
    const ssize_t nRead = read(m_hFile, pBuffer, nMax);
    if (nRead < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    return nRead;
}

std::unique_ptr<CReceiverPort> OpenSerialReceiver(const QString& strPort, int nBaudRate, bool, COutcome& outcome)
{
    std::unique_ptr<CSerialPort> port = CSerialPort::Open(SerialDevicePath(strPort));
    if (!port)
        outcome = PortOpenFailure(strPort, errno);
    else if (!port->ReadLineSettings())
        outcome = COutcome::Fail(QStringLiteral("Kan geen status opvragen"), errno);
    else if (!port->WriteLineSettings(nBaudRate))
        outcome = COutcome::Fail(QStringLiteral("Kan de poort niet instellen"), errno);
    else
        return port;
    return nullptr;
}
