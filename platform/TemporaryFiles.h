#pragma once

#include <QByteArray>

#include <csignal>

// The new files that CBufferedFile writes beside their targets (".NAME.PID-N")
// must not outlive the write: a stop signal removes those still listed, and
// the next write into a folder removes those a process that no longer runs
// left there (killed, or the power went).
//
// The list is fixed storage the signal handler walks without allocating or
// locking; a temporary that finds it full is just not removed by a signal.

// Lists a temporary's path; the slot for ForgetTemporary, -1 when full.
int ListTemporary(const QByteArray& path);
// Takes a temporary off the list once it was renamed or removed.
void ForgetTemporary(int nSlot);

// From now on SIGINT, SIGTERM and SIGHUP remove the listed temporaries and
// then end the program as the signal would have.
void RemoveTemporariesOnStopSignals();

// Holds the stop signals back while in scope, so that a temporary is never
// created without being listed; one that came meanwhile acts at the end.
class CStopSignalsHeld
{
public:
    CStopSignalsHeld();
    ~CStopSignalsHeld();
    CStopSignalsHeld(const CStopSignalsHeld&) = delete;
    CStopSignalsHeld& operator=(const CStopSignalsHeld&) = delete;

private:
    sigset_t m_previous;
};

// The process whose temporary a file name is (".NAME.PID-N"); 0 for a name
// of any other form.
long TemporaryOwner(const QString& strFileName);

// Removes the regular files named as temporaries in a folder whose process
// no longer runs.
void RemoveStaleTemporaries(const QByteArray& folder);

// A new file beside a target, ".NAME.PID-N", created exclusively (never
// through a link) with the mode a plain create would give, after the stale
// temporaries of its folder are removed; -1 with errno on failure. The
// caller lists it, with the stop signals held.
int CreateTemporaryBeside(const QByteArray& targetPath, QByteArray& temporaryPath);
