#include "tools/cli/CliTrackInput.h"

#include "tools/cli/CliText.h"
#include "track/TrackFormats.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool LoadCliTrack(const char* pszCommand, const char* pszPath, int nUtcCorrection, CTrackPointList& points,
                  size_t& nSkipped)
{
    // A path on the command line is a host path, used as given.
    const QString strPath = QString::fromLocal8Bit(pszPath);
    const CTrackFormat& format = TrackFormatOf(strPath);
    const std::string strShown = CliEscaped(pszPath);
    switch (format.pfnRead(strPath, nUtcCorrection, points, nSkipped, {})) {
    case ETrackLoad::Ok:
        return true;
    case ETrackLoad::Unreadable:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: %s\n", pszCommand, strShown.c_str(), std::strerror(errno));
        return false;
    case ETrackLoad::NotAFile:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: not a regular file\n", pszCommand, strShown.c_str());
        return false;
    case ETrackLoad::InUse:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: a running log holds it\n", pszCommand, strShown.c_str());
        return false;
    case ETrackLoad::Cancelled:   // the tools read to the end
    case ETrackLoad::Incorrect:
        std::fprintf(stderr, "veltrip-cli %s: %s is not a %s track file\n", pszCommand, strShown.c_str(), format.szKind);
        return false;
    }
    return false;
}
