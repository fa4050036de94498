#include "track/LogRecovery.h"

#include "platform/DevicePaths.h"
#include "track/TrackFormats.h"

#include <QDir>
#include <QFileInfo>

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
        if (QFileInfo::exists(dir.filePath(strKml)))
            continue;
        CTrackPointList points;
        const ETrackLoad load = ReadTrackFile(dir.filePath(strLog), 0, points);
        // A log that a running veltrip holds is not unfinished.
        if (load == ETrackLoad::InUse)
            continue;
        if (load != ETrackLoad::Ok) {
            recovery.m_skipped << strPrefix + strLog;
            continue;
        }
        const COutcome written = WriteTrackFile(strPrefix + strKml, points, bKmlAltitude);
        if (written)
            recovery.m_written << strPrefix + strKml;
        else
            recovery.m_failed << written.m_strMessage;
    }
    return recovery;
}
