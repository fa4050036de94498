#include "map/OnlineMaps.h"

#include "platform/Module.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QUrl>

namespace {

using OnlineMapsFactory = COnlineMaps* (*)();

constexpr qint64 ONLINE_MAX_ATTRIBUTION_BYTES = 512;

// OpenStreetMap's tile policy allows viewing on demand only, never an area
// fetched ahead.
const CTileSource TILE_SOURCES[] = {
    {QStringLiteral("OpenStreetMap"), QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"),
     QStringLiteral("\u00a9 OpenStreetMap contributors"), 0, 19, false},
};

QString CacheFolder(const char* szName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/veltrip/")
           + QLatin1String(szName);
}

}

std::vector<CTileSource> TileSources(const std::vector<CTileSource>& extra)
{
    std::vector<CTileSource> sources(std::begin(TILE_SOURCES), std::end(TILE_SOURCES));
    sources.insert(sources.end(), extra.begin(), extra.end());
    return sources;
}

const CTileSource* FindTileSource(const std::vector<CTileSource>& sources, const QString& strName)
{
    for (const CTileSource& source : sources)
        if (source.m_strName.compare(strName, Qt::CaseInsensitive) == 0)
            return &source;
    return nullptr;
}

bool IsTileUrlTemplate(const QString& strTemplate)
{
    for (const char* szField : {"{z}", "{x}", "{y}"})
        if (!strTemplate.contains(QLatin1String(szField)))
            return false;
    QString strSample = strTemplate;
    for (const char* szField : {"{z}", "{x}", "{y}", "{s}"})
        strSample.replace(QLatin1String(szField), QStringLiteral("0"));
    const QUrl url(strSample, QUrl::StrictMode);
    return url.isValid() && (url.scheme() == QStringLiteral("https") || url.scheme() == QStringLiteral("http"))
           && !url.host().isEmpty();
}

QString OnlineSheetFolder()
{
    return CacheFolder("sheets");
}

QString OnlineTileFolder()
{
    return CacheFolder("tiles");
}

QString SheetAttributionPath(const QString& strSheetHostPath)
{
    QString strPath = strSheetHostPath;
    if (strPath.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
        strPath.chop(4);
    return strPath + QStringLiteral(".attribution");
}

QString SheetAttribution(const QString& strSheetHostPath)
{
    QFile file(SheetAttributionPath(strSheetHostPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Its first line, and no more than a line of the map view holds.
    return QString::fromUtf8(file.read(ONLINE_MAX_ATTRIBUTION_BYTES).split('\n').value(0)).trimmed();
}

std::unique_ptr<COnlineMaps> NewOnlineMaps(COutcome& outcome)
{
    // Loaded once, whichever thread asks first.
    static QString g_strError;
    static const auto g_pfnNew = ModuleEntry<OnlineMapsFactory>(ONLINE_MODULE, ONLINE_FACTORY, g_strError);
    if (!g_pfnNew) {
        outcome = COutcome::Fail(QStringLiteral("Online maps need Qt Network (Debian: libqt6network6): ") + g_strError);
        return nullptr;
    }
    outcome = COutcome::Ok();
    return std::unique_ptr<COnlineMaps>(g_pfnNew());
}
