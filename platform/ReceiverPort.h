#pragma once

#include "platform/Outcome.h"

#include <QString>
#include <cstddef>
#include <memory>

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

// Opens a port of one kind by the name the user gave; null with the outcome
// set when it fails. A quiet open (the reopen during a tick) must not wait.
using PortOpener = std::unique_ptr<CReceiverPort> (*)(const QString& strPort, int nBaudRate, bool bQuiet,
                                                      COutcome& outcome);

// The failure of a port that did not open, as every kind reports it.
inline COutcome PortOpenFailure(const QString& strPort, int nErrno)
{
    return COutcome::Fail(QStringLiteral("Kan %1 niet openen").arg(strPort), nErrno);
}
