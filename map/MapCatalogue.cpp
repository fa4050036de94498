#include "map/MapCatalogue.h"

#include "gps/CGpsTracker.h"
#include "map/OnlineMaps.h"
#include "platform/DevicePaths.h"
#include "platform/Outcome.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {

// The name a record keeps: the card's name for a file on the card, the whole
// host path for any other (an online sheet in the cache), so that it loads.
QString CatalogueName(const QString& strPath)
{
    const QString strDeviceName = DeviceName(strPath);
    return QFileInfo(HostPath(strDeviceName)) == QFileInfo(strPath) ? strDeviceName
                                                                     : QFileInfo(strPath).absoluteFilePath();
}

// A record for the map at strPath (a device or host path), or null when its
// name carries no calibration.
std::unique_ptr<CMapBitmap> CalibratedMap(const QString& strPath)
{
    auto pMap = std::make_unique<CMapBitmap>();
    pMap->m_path = strPath;
    if (!pMap->ParseCalibration())
        return nullptr;
    pMap->m_strAttribution = SheetAttribution(HostPath(strPath));
    return pMap;
}

// Records for the maps of a folder, strPrefix before each file name.
void AddFolder(CMapList& mapList, const QString& strHostFolder, const QString& strPrefix)
{
    // The card's file system returns entries in no defined order on the host;
    // name order keeps the tie rule of FindMapForPosition repeatable.
    const QDir folder(strHostFolder);
    const QStringList names = folder.entryList({QStringLiteral("*.bmp")},
                                               QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
    for (const QString& strName : names) {
        if (std::unique_ptr<CMapBitmap> pMap = CalibratedMap(strPrefix + strName))
            mapList.push_back(std::move(pMap));
    }
}

}

void BuildMapCatalogue(CMapList& mapList)
{
    mapList.clear();
    AddFolder(mapList, HostPath(GPS_FOLDER), GPS_FOLDER);
}

void BuildMapCatalogue(CMapList& mapList, const QString& strHostFolder)
{
    mapList.clear();
    AddFolder(mapList, strHostFolder, strHostFolder + u'/');
}

CMapBitmap* FindMapForPosition(const CMapList& mapList, const CGpsTracker& tracker)
{
    if (!tracker.HasPosition())
        return nullptr;
    const double dLatitude = tracker.m_fLatitude;
    const double dLongitude = tracker.m_fLongitude;
    CMapBitmap* pBest = nullptr;
    for (const auto& pMap : mapList) {
        const bool bInside = pMap->m_lonMin < dLongitude && dLongitude < pMap->m_lonMax
                             && pMap->m_latMin < dLatitude && dLatitude < pMap->m_latMax;
        if (bInside && (!pBest || pMap->m_lonMax - pMap->m_lonMin < pBest->m_lonMax - pBest->m_lonMin))
            pBest = pMap.get();
    }
    return pBest;
}

CMapBitmap* AddChosenMap(CMapList& mapList, const QString& strPath, COutcome& calibration)
{
    mapList.push_back(std::make_unique<CMapBitmap>());
    CMapBitmap* pMap = mapList.back().get();
    pMap->m_path = strPath;
    calibration = pMap->ParseCalibration() ? COutcome::Ok() : COutcome::Fail(QStringLiteral("Weet niet waar dat is!"));
    pMap->m_strAttribution = SheetAttribution(HostPath(strPath));
    pMap->m_panX = 0;
    pMap->m_panY = 0;
    return pMap;
}

void AddSheetsToCatalogue(CMapList& mapList, const QStringList& sheetPaths)
{
    for (const QString& strPath : sheetPaths) {
        const QString strDeviceName = CatalogueName(strPath);
        const auto it = std::find_if(mapList.begin(), mapList.end(),
                                     [&](const auto& pMap) { return pMap->m_path == strDeviceName; });
        if (it != mapList.end())
            continue;
        if (std::unique_ptr<CMapBitmap> pMap = CalibratedMap(strDeviceName))
            mapList.push_back(std::move(pMap));
    }
}

QStringList CachedOnlineSheets()
{
    const QDir folder(OnlineSheetFolder());
    QStringList paths;
    for (const QString& strName : folder.entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name))
        paths.append(folder.filePath(strName));
    return paths;
}

bool IsOnlineSheet(const CMapBitmap& map)
{
    const QString strFolder = QDir::cleanPath(OnlineSheetFolder()) + QLatin1Char('/');
    return QFileInfo(HostPath(map.m_path)).absoluteFilePath().startsWith(strFolder);
}
