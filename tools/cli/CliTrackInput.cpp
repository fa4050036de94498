#include "tools/cli/CliTrackInput.h"

#include "platform/TextFormat.h"
#include "tools/cli/CliText.h"
#include "track/TrackFormats.h"

#include <QString>

#include <cstdio>

namespace {

// Why a file could not be read, as the tools say it.
QString ReadFailureReason(const COutcome& read)
{
    switch (read.Kind()) {
    case EOutcome::NotAFile:
        return QStringLiteral("not a regular file");
    case EOutcome::InUse:
        return QStringLiteral("a running log holds it");
    default:
        return SystemErrorText(read.Errno());
    }
}

}

bool LoadCliTrack(const char* pszCommand, const char* pszPath, int nUtcCorrection, CTrackPointList& points,
                  size_t& nSkipped)
{
    const QString strPath = QString::fromLocal8Bit(pszPath);
    const CTrackFormat& format = TrackFormatOf(strPath);
    const COutcome read = ReadTrackFile(strPath, nUtcCorrection, points, nSkipped);
    if (read)
        return true;
    // The tools read to the end: nothing cancels.
    if (read.Kind() == EOutcome::NoMemory)
        CliReport(pszCommand, read);
    else if (read.Kind() == EOutcome::Incorrect)
        std::fprintf(stderr, "veltrip-cli %s: %s is not a %s track file\n", pszCommand, EscapedText(pszPath).c_str(),
                     format.szKind);
    else
        CliCannotRead(pszCommand, pszPath, ReadFailureReason(read));
    return false;
}
