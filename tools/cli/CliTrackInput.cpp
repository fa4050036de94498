#include "tools/cli/CliTrackInput.h"

#include "app/CTrackerApp.h"
#include "track/GpdFile.h"
#include "track/XmlTrackReader.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool LoadCliTrack(const char* pszCommand, const char* pszPath, CTrackPointList& points)
{
    const QString strPath = QString::fromLocal8Bit(pszPath);
    const EGpdLoad load = IsXmlTrackPath(strPath) ? LoadXmlTrackFile(strPath, theApp.m_nUtcCorrection, points)
                                                  : LoadGpdFile(strPath, points);
    switch (load) {
    case EGpdLoad::Ok:
        return true;
    case EGpdLoad::Unreadable:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: %s\n", pszCommand, pszPath, std::strerror(errno));
        return false;
    case EGpdLoad::NotAFile:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: not a regular file\n", pszCommand, pszPath);
        return false;
    case EGpdLoad::InUse:
        std::fprintf(stderr, "veltrip-cli %s: cannot read %s: a running log holds it\n", pszCommand, pszPath);
        return false;
    case EGpdLoad::Cancelled:   // the tools read to the end
    case EGpdLoad::Incorrect:
        std::fprintf(stderr, "veltrip-cli %s: %s is not a %s track file\n", pszCommand, pszPath,
                     IsXmlTrackPath(strPath) ? "GPX or KML" : "GPD");
        return false;
    }
    return false;
}
