#pragma once

#include <QString>
#include <cstddef>
#include <memory>
#include <termios.h>

// A serial device opened only to listen whether a receiver talks on it: it is
// read, never written, neither claimed nor locked, and its line settings are
// put back as they were when it closes. A device that another program holds
// (exclusive mode, or the lock of a running veltrip) is left alone, root or
// not, so that no one's bytes are taken from them.
class CProbeDevice
{
public:
    ~CProbeDevice();
    CProbeDevice(const CProbeDevice&) = delete;
    CProbeDevice& operator=(const CProbeDevice&) = delete;

    // Null, with errno set, when the device cannot be opened for reading, is
    // no terminal, or is held by someone else (EBUSY).
    static std::unique_ptr<CProbeDevice> Open(const QString& strPath);

    // Raw 8N1 input at a standard rate; what arrived before is
    // dropped, as it came at the rate before. False when the device refuses.
    bool ListenAt(int nBaudRate);

    // Waits at most nWaitMs for bytes and reads what is there: the count, 0
    // when nothing came, -1 when the device failed or hung up.
    ptrdiff_t Read(char* pBuffer, size_t nMax, int nWaitMs);

private:
    explicit CProbeDevice(int hFile);

    int m_hFile;
    struct termios m_original = {};
    bool m_bChanged = false;   // m_original is to be written back
};
