#pragma once

#include "platform/ReceiverPort.h"

#include <QString>
#include <cstddef>
#include <memory>
#include <termios.h>

// An open serial device (POSIX termios), opened for exclusive non-blocking
// reading. Opening, reading the line settings and writing them back are
// separate steps so that the caller can tell the user which one failed.
class CSerialPort : public CReceiverPort
{
public:
    ~CSerialPort() override;

    // Opens an existing device by host path for exclusive read/write access;
    // null when it cannot be opened or someone else holds it.
    static std::unique_ptr<CSerialPort> Open(const QString& strPath);

    // Reads the device's current line settings; false when the device has
    // none (not a terminal) or cannot report them.
    bool ReadLineSettings();

    // Writes back the settings read last, changed to the given rate (any
    // positive integer), 8 data bits, no parity, 1 stop bit, receiver on,
    // raw input, DTR and RTS off. False when the device refuses them.
    bool WriteLineSettings(int nBaudRate);

    // A device that has gone away (hang-up or I/O error) fails the query.
    int BytesWaiting() override;
    ptrdiff_t Read(char* pBuffer, size_t nMax) override;

private:
    explicit CSerialPort(int fd);

    int m_hFile;
    struct termios m_settings = {};
};

// The termios code of a standard rate; B0 (which would mean "hang up") for a
// rate without one.
speed_t StandardRateCode(int nBaudRate);

// The serial kind of receiver port: the device the name stands for, set to
// the baud rate (a PortOpener).
std::unique_ptr<CReceiverPort> OpenSerialReceiver(const QString& strPort, int nBaudRate, bool bQuiet,
                                                  COutcome& outcome);
