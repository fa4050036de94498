#include "track/TrackInput.h"

#include "platform/DevicePaths.h"
#include "platform/InputFile.h"

#include <cerrno>

COutcome OpenTrackInput(CInputFile& file, const QString& strPath)
{
    switch (file.Open(HostPath(strPath))) {
    case CInputFile::EOpen::Ok:
        return COutcome::Ok();
    case CInputFile::EOpen::Missing:
        break;
    case CInputFile::EOpen::NotAFile:
        return TrackReadFailure(EOutcome::NotAFile, strPath, errno);
    case CInputFile::EOpen::InUse:
        return TrackReadFailure(EOutcome::InUse, strPath, errno);
    }
    return TrackReadFailure(EOutcome::Failed, strPath, errno);
}

COutcome TrackNoMemory(const QString& strPath)
{
    return COutcome::Fail(EOutcome::NoMemory, QStringLiteral("Not enough memory to read ") + strPath);
}

COutcome TrackReadFailure(EOutcome eKind, const QString& strPath, int nErrno)
{
    switch (eKind) {
    case EOutcome::Incorrect:
        return COutcome::Fail(eKind, QStringLiteral("Incorrect file"), nErrno);
    case EOutcome::Cancelled:
        return COutcome::Fail(eKind, QString());
    default:
        return COutcome::Fail(eKind, strPath, nErrno);
    }
}
