#pragma once

// The kernel's arbitrary-rate interface (termios2 with BOTHER), for rates that
// have no Bnnn constant. Its header clashes with <termios.h>, so it lives in a
// source file of its own. Sets both directions to nBaudRate and checks that
// the device took a rate close to it.
bool SetArbitraryBaudRate(int fd, int nBaudRate);
