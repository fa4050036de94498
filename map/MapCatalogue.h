#pragma once

#include "map/CMapBitmap.h"

#include <QString>
#include <QStringList>

class CGpsTracker;
class COutcome;

// Fills mapList (emptied first) with one record per calibrated *.bmp file in
// "\Storage card\GPS\", names matched without regard to case, directories and
// names without calibration skipped, in name order, each with the
// attribution kept beside a sheet made from tiles. Loads no bitmap.
void BuildMapCatalogue(CMapList& mapList);

// The same for the *.bmp files of a host folder (records with host paths).
void BuildMapCatalogue(CMapList& mapList, const QString& strHostFolder);

// The catalogue map for the tracker's position: of the maps that hold it
// strictly inside their edges, the one with the narrowest longitude span,
// the earlier one on a tie. Null when the last tick decoded no valid latitude
// and longitude, or no map holds the position.
CMapBitmap* FindMapForPosition(const CMapList& mapList, const CGpsTracker& tracker);

// Appends a record for a file the user chose and calibrates it; a name without
// calibration is kept, with its edges at 0, and calibration says "Weet niet
// waar dat is!". Returns the new record, which the caller makes current, with
// pan (0, 0).
CMapBitmap* AddChosenMap(CMapList& mapList, const QString& strPath, COutcome& calibration);

// Adds records for sheets just written (host paths: in the storage card's GPS
// folder, or online sheets in their cache) to the catalogue, as the next
// start would find them. A sheet the
// catalogue already holds (the same map imported again) keeps its record;
// its pixels are read again when it is next loaded (the window reloads the
// map it shows at once).
void AddSheetsToCatalogue(CMapList& mapList, const QStringList& sheetPaths);

// The online sheets already made (host paths in OnlineSheetFolder(), name
// order): they work without a network, so the catalogue holds them too.
QStringList CachedOnlineSheets();

// True for a map whose file lies in OnlineSheetFolder().
bool IsOnlineSheet(const CMapBitmap& map);
