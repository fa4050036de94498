#include "track/LogRecovery.h"

#include "platform/DevicePaths.h"
#include "platform/InputFile.h"
#include "track/GpdFile.h"
#include "track/KmlExport.h"
#include "track/TrackInput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <cerrno>
#include <new>
#include <sys/stat.h>

namespace {

// A KML copy the end of a log finished: well-formed, its root a kml element
// that is closed. A copy cut short by a crash or a full disk is not.
bool IsWholeKml(const QString& strHostPath)
{
    QFile file(strHostPath);
    if (!file.open(QIODevice::ReadOnly))
        return true;   // not ours to judge, nor to replace
    QXmlStreamReader xml(&file);
    int nDepth = 0;
    bool bKmlClosed = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement)
            ++nDepth;
        else if (token == QXmlStreamReader::EndElement)
            bKmlClosed = --nDepth == 0 && xml.name() == QLatin1String("kml");
    }
    return !xml.hasError() && bKmlClosed;
}

// Whether a KML copy must be written: none is there, or a regular file that
// is not whole. A link or anything else is no copy of ours to replace.
enum class ECopy { Whole, Missing, Broken, NotOurs };

ECopy KmlCopyState(const QString& strHostPath)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(strHostPath).constData(), &st) != 0)
        return errno == ENOENT ? ECopy::Missing : ECopy::Whole;   // not ours to judge, nor to replace
    if (!S_ISREG(st.st_mode))
        return ECopy::NotOurs;
    return IsWholeKml(strHostPath) ? ECopy::Whole : ECopy::Broken;
}

// Writes the KML copy of one log as the log is read, twice over (see
// WriteKmlWalk); the records left out are counted once. The failure to read
// the log, if that is what failed, goes to read.
COutcome WriteKmlCopy(const QString& strLogPath, const QString& strKml, bool bKmlAltitude, size_t& nSkipped,
                      COutcome& read)
{
    CInputFile log;
    read = OpenTrackInput(log, strLogPath);
    if (!read)
        return read;
    size_t nWalks = 0;
    const CTrackPointWalk walk = [&](const CTrackPointVisit& visit) {
        size_t nWalkSkipped = 0;
        read = WalkGpdFile(log, strLogPath, visit, nWalkSkipped);
        if (nWalks++ == 0)
            nSkipped += nWalkSkipped;
        return read;
    };
    return WriteKmlWalk(strKml, walk, bKmlAltitude, CBufferedFile::ETarget::Own);
}

}

CLogRecovery RecoverUnfinishedLogs(const QString& strFolder, bool bKmlAltitude)
{
    CLogRecovery recovery;
    const QDir dir(HostPath(strFolder));
    QString strPrefix = strFolder;
    if (!strPrefix.isEmpty() && !strPrefix.endsWith(QLatin1Char('\\')) && !strPrefix.endsWith(QLatin1Char('/')))
        strPrefix += strFolder.contains(QLatin1Char('\\')) ? QLatin1Char('\\') : QLatin1Char('/');
    const QStringList logs = dir.entryList({QStringLiteral("GPSLog_*.gpd")},
                                           QDir::Files | QDir::CaseSensitive, QDir::Name);
    for (const QString& strLog : logs) {
        const QString strKml = strLog.chopped(4) + QStringLiteral(".kml");
        const ECopy eCopy = KmlCopyState(dir.filePath(strKml));
        if (eCopy == ECopy::Whole)
            continue;
        if (eCopy == ECopy::NotOurs) {
            recovery.m_failed << strPrefix + strKml + QStringLiteral(" is a link or not a regular file: left alone");
            continue;
        }
        size_t nSkipped = 0;
        COutcome read;
        COutcome written;
        try {
            written = WriteKmlCopy(dir.filePath(strLog), strPrefix + strKml, bKmlAltitude, nSkipped, read);
        } catch (const std::bad_alloc&) {
            written = TrackNoMemory(strPrefix + strLog);
        }
        // A log that a running veltrip holds is not unfinished.
        if (read.Kind() == EOutcome::InUse)
            continue;
        if (!read) {
            recovery.m_skipped << strPrefix + strLog;
            continue;
        }
        recovery.m_nSkippedPoints += nSkipped;
        if (written)
            recovery.m_written << strPrefix + strKml;
        else
            recovery.m_failed << written.Message();
    }
    return recovery;
}
