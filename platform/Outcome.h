#pragma once

#include <QString>
#include <utility>

// What an operation that opens a port or reads or writes a file reports: success,
// or the message the user is shown (exactly as the window's message box says it)
// with the system's error number when there is one. Lower layers return it; the
// window shows the message, the tools print it and choose their exit code from it.
class COutcome
{
public:
    COutcome() = default;

    static COutcome Ok() { return COutcome(); }
    static COutcome Fail(QString strMessage, int nErrno = 0)
    {
        COutcome outcome;
        outcome.m_bOk = false;
        outcome.m_strMessage = std::move(strMessage);
        outcome.m_nErrno = nErrno;
        return outcome;
    }

    explicit operator bool() const { return m_bOk; }
    bool IsOk() const { return m_bOk; }

    bool m_bOk = true;
    QString m_strMessage;   // empty on success
    int m_nErrno = 0;       // 0: no system error behind the failure
};
