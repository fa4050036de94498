#include "platform/SerialBaudRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

// A UART that cannot make the rate exactly picks the nearest divisor; more
// than this much off and the receiver's bytes come out garbled.
constexpr unsigned SERIAL_RATE_TOLERANCE_PERCENT = 3;

}

bool SetArbitraryBaudRate(int fd, int nBaudRate)
{
    if (nBaudRate <= 0)
        return false;
    struct termios2 settings = {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return false;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(nBaudRate);
    settings.c_ospeed = static_cast<speed_t>(nBaudRate);
    if (ioctl(fd, TCSETS2, &settings) != 0)
        return false;

    struct termios2 applied = {};
    if (ioctl(fd, TCGETS2, &applied) != 0)
        return false;
    const unsigned long long nWanted = static_cast<unsigned>(nBaudRate);
    const unsigned long long nGot = applied.c_ospeed;
    const unsigned long long nDiff = nGot > nWanted ? nGot - nWanted : nWanted - nGot;
    return nDiff * 100 <= nWanted * SERIAL_RATE_TOLERANCE_PERCENT;
}
