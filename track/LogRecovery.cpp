#include "track/LogRecovery.h"

#include "platform/DevicePaths.h"
#include "track/TrackFormats.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace {

// A KML copy the end of a log finished: well-formed, its root a kml element
// that is closed. A copy cut short by a crash or a full disk is not. What
// is not a regular file is left alone, as if whole.
bool IsWholeKml(const QString& strHostPath)
{
    if (!QFileInfo(strHostPath).isFile())
        return QFileInfo::exists(strHostPath);
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
        if (IsWholeKml(dir.filePath(strKml)))
            continue;
        CTrackPointList points;
        size_t nSkipped = 0;
        const COutcome read = ReadTrackFile(dir.filePath(strLog), 0, points, nSkipped);
        // A log that a running veltrip holds is not unfinished.
        if (read.Kind() == EOutcome::InUse)
            continue;
        if (!read) {
            recovery.m_skipped << strPrefix + strLog;
            continue;
        }
        recovery.m_nSkippedPoints += nSkipped;
        const COutcome written = WriteTrackFile(strPrefix + strKml, points, bKmlAltitude);
        if (written)
            recovery.m_written << strPrefix + strKml;
        else
            recovery.m_failed << written.Message();
    }
    return recovery;
}
