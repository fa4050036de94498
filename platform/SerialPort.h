#pragma once

// An open serial device (POSIX termios). Filled in with the serial link.
class CSerialPort
{
public:
    ~CSerialPort();
};
