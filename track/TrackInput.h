#pragma once

#include "platform/Outcome.h"

#include <QString>

class CInputFile;

// Opens a track for reading at a path in the program's form: only a regular
// file that no running log holds.
COutcome OpenTrackInput(CInputFile& file, const QString& strPath);

// What reading a track at strPath reports for a kind of failure, as the
// window tells of it: the path for a file that cannot be read, "Incorrect
// file" for one of another kind, nothing for a read the user cancelled.
// nErrno is the reason, taken where the reading failed.
COutcome TrackReadFailure(EOutcome eKind, const QString& strPath, int nErrno = 0);

// Memory ran out while reading a track: "Not enough memory to read " and
// the path.
COutcome TrackNoMemory(const QString& strPath);
