#pragma once

#include <QString>
#include <utility>

// What kind of end an operation came to, as far as a caller acts on it.
enum class EOutcome
{
    Ok,
    Failed,      // the message says what failed; the error number, when set, why
    NotAFile,    // a FIFO, a device or a directory where a file was wanted
    InUse,       // a running log holds the file
    Incorrect,   // the file is not of the kind asked for
    Cancelled,   // the user stopped it: nothing to tell
    NoMemory,    // memory ran out: what was read is dropped, nothing else changed
};

// What an operation that opens a port or reads or writes a file reports: its
// kind of end, the message the user is shown (exactly as the window's message
// box says it) and the system's error number, taken where the operation
// failed. Lower layers return it; the window shows the message, the tools
// print it and choose their exit code from it.
class COutcome
{
public:
    COutcome() = default;

    static COutcome Ok() { return COutcome(); }
    static COutcome Fail(QString strMessage, int nErrno = 0)
    {
        return Fail(EOutcome::Failed, std::move(strMessage), nErrno);
    }
    static COutcome Fail(EOutcome eKind, QString strMessage, int nErrno = 0)
    {
        COutcome outcome;
        outcome.m_eKind = eKind;
        outcome.m_strMessage = std::move(strMessage);
        outcome.m_nErrno = nErrno;
        return outcome;
    }

    explicit operator bool() const { return m_eKind == EOutcome::Ok; }
    EOutcome Kind() const { return m_eKind; }
    const QString& Message() const { return m_strMessage; }
    int Errno() const { return m_nErrno; }

private:
    EOutcome m_eKind = EOutcome::Ok;
    QString m_strMessage;   // empty on success
    int m_nErrno = 0;       // 0: no system error behind the failure
};
