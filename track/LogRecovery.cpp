#include "track/LogRecovery.h"

#include "platform/DevicePaths.h"
#include "track/GpdFile.h"
#include "track/KmlExport.h"

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
        const EGpdLoad load = LoadGpdFile(dir.filePath(strLog), points);
        // A log that a running veltrip holds is not unfinished.
        if (load == EGpdLoad::InUse)
            continue;
        if (load != EGpdLoad::Ok) {
            recovery.m_skipped << strPrefix + strLog;
            continue;
        }
        if (WriteKml(strPrefix + strKml, points, bKmlAltitude))
            recovery.m_written << strPrefix + strKml;
    }
    return recovery;
}
