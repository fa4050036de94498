#include "map/OnlineSettings.h"

#include "gps/TrackerSettings.h"

#include <QSettings>
#include <algorithm>
#include <memory>

namespace {

const QString ONLINE_SECTION = QStringLiteral("OnlineMaps");
const QString ONLINE_SOURCES = QStringLiteral("OnlineSources");
const QString ONLINE_ON = QStringLiteral("On");
const QString ONLINE_SOURCE = QStringLiteral("Source");
const QString ONLINE_ZOOM = QStringLiteral("Zoom");
const QString ONLINE_CACHE = QStringLiteral("CacheMB");
const QString SOURCE_NAME = QStringLiteral("Name");
const QString SOURCE_URL = QStringLiteral("Url");
const QString SOURCE_ATTRIBUTION = QStringLiteral("Attribution");
const QString SOURCE_MIN_ZOOM = QStringLiteral("MinZoom");
const QString SOURCE_MAX_ZOOM = QStringLiteral("MaxZoom");
const QString SOURCE_AREA_DOWNLOAD = QStringLiteral("AreaDownload");

// An INI file gives numbers back as text; a hand-edited one may hold anything.
bool ReadInt(const QSettings& stored, const QString& strKey, int nMin, int nMax, int32_t& nValue)
{
    bool bOk = false;
    const int n = stored.value(strKey).toString().trimmed().toInt(&bOk);
    if (bOk && n >= nMin && n <= nMax)
        nValue = n;
    return bOk && n >= nMin && n <= nMax;
}

bool UsableSource(const CTileSource& source)
{
    return !source.m_strName.trimmed().isEmpty() && IsTileUrlTemplate(source.m_strUrl)
           && source.m_nMinZoom <= source.m_nMaxZoom;
}

std::vector<CTileSource> ReadSources(QSettings& stored)
{
    std::vector<CTileSource> sources;
    const int nRows = stored.beginReadArray(ONLINE_SOURCES);
    for (int i = 0; i < nRows; ++i) {
        stored.setArrayIndex(i);
        CTileSource source;
        source.m_strName = stored.value(SOURCE_NAME).toString();
        source.m_strUrl = stored.value(SOURCE_URL).toString().trimmed();
        source.m_strAttribution = stored.value(SOURCE_ATTRIBUTION).toString();
        int32_t nArea = 0;
        const bool bZooms = ReadInt(stored, SOURCE_MIN_ZOOM, ONLINE_ZOOM_MIN, ONLINE_ZOOM_MAX, source.m_nMinZoom)
                            && ReadInt(stored, SOURCE_MAX_ZOOM, ONLINE_ZOOM_MIN, ONLINE_ZOOM_MAX, source.m_nMaxZoom);
        ReadInt(stored, SOURCE_AREA_DOWNLOAD, 0, 1, nArea);
        source.m_bAreaDownload = nArea != 0;
        if (bZooms && UsableSource(source))
            sources.push_back(source);
    }
    stored.endArray();
    return sources;
}

}

CTileSource COnlineSettings::Source() const
{
    const std::vector<CTileSource> sources = Sources();
    const CTileSource* pSource = FindTileSource(sources, m_strSource);
    return pSource ? *pSource : sources.front();
}

int COnlineSettings::Zoom() const
{
    const CTileSource source = Source();
    return std::clamp(int(m_nZoom), source.m_nMinZoom, source.m_nMaxZoom);
}

COnlineSheetRequest COnlineSettings::Request(double dLatitude, double dLongitude) const
{
    COnlineSheetRequest request;
    request.m_source = Source();
    request.m_dLatitude = dLatitude;
    request.m_dLongitude = dLongitude;
    request.m_nZoom = Zoom();
    request.m_nCacheBytes = int64_t(m_nCacheMegabytes) << 20;
    return request;
}

COnlineSettings LoadOnlineSettings()
{
    const std::unique_ptr<QSettings> pStored = OpenSettingsFile();
    COnlineSettings settings;
    settings.m_extraSources = ReadSources(*pStored);
    pStored->beginGroup(ONLINE_SECTION);
    int32_t nOn = 0;
    ReadInt(*pStored, ONLINE_ON, 0, 1, nOn);
    settings.m_bOn = nOn != 0;
    if (const QString strSource = pStored->value(ONLINE_SOURCE).toString(); !strSource.isEmpty())
        settings.m_strSource = strSource;
    ReadInt(*pStored, ONLINE_ZOOM, ONLINE_ZOOM_MIN, ONLINE_ZOOM_MAX, settings.m_nZoom);
    ReadInt(*pStored, ONLINE_CACHE, ONLINE_CACHE_MB_MIN, ONLINE_CACHE_MB_MAX, settings.m_nCacheMegabytes);
    return settings;
}

void SaveOnlineSettings(const COnlineSettings& settings)
{
    const std::unique_ptr<QSettings> pStored = OpenSettingsFile();
    QSettings& stored = *pStored;
    stored.remove(ONLINE_SOURCES);
    stored.beginWriteArray(ONLINE_SOURCES, int(settings.m_extraSources.size()));
    for (size_t i = 0; i < settings.m_extraSources.size(); ++i) {
        const CTileSource& source = settings.m_extraSources[i];
        stored.setArrayIndex(int(i));
        stored.setValue(SOURCE_NAME, source.m_strName);
        stored.setValue(SOURCE_URL, source.m_strUrl);
        stored.setValue(SOURCE_ATTRIBUTION, source.m_strAttribution);
        stored.setValue(SOURCE_MIN_ZOOM, source.m_nMinZoom);
        stored.setValue(SOURCE_MAX_ZOOM, source.m_nMaxZoom);
        stored.setValue(SOURCE_AREA_DOWNLOAD, source.m_bAreaDownload ? 1 : 0);
    }
    stored.endArray();
    stored.beginGroup(ONLINE_SECTION);
    stored.setValue(ONLINE_ON, settings.m_bOn ? 1 : 0);
    stored.setValue(ONLINE_SOURCE, settings.m_strSource);
    stored.setValue(ONLINE_ZOOM, settings.m_nZoom);
    stored.setValue(ONLINE_CACHE, settings.m_nCacheMegabytes);
}
