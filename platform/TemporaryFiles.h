#pragma once

#include <QByteArray>

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

// The process whose temporary a file name is (".NAME.PID-N"); 0 for a name
// of any other form.
long TemporaryOwner(const QString& strFileName);

// Removes the regular files named as temporaries in a folder whose process
// no longer runs.
void RemoveStaleTemporaries(const QByteArray& folder);
