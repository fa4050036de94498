#pragma once

#include <cstddef>

// Where the receiver's bytes come from: a serial device or a network stream.
// The timer tick drains it without ever waiting for bytes that have not
// arrived.
class CReceiverPort
{
public:
    CReceiverPort() = default;
    virtual ~CReceiverPort() = default;
    CReceiverPort(const CReceiverPort&) = delete;
    CReceiverPort& operator=(const CReceiverPort&) = delete;

    // Bytes waiting to be read; -1 when the query fails, which includes a
    // source that has gone away (hang-up, I/O error, peer closed).
    virtual int BytesWaiting() = 0;

    // Reads up to nMax bytes without blocking; the count handed on, 0 when
    // nothing is there (or all of it was for the port itself), -1 on failure.
    virtual ptrdiff_t Read(char* pBuffer, size_t nMax) = 0;
};
