#pragma once

#include "map/CMapBitmap.h"

#include <QStringList>

class QWidget;

// Tools -> "Import map...": asks for a map GDAL reads, imports it into the
// storage card's GPS folder on a worker thread behind a progress dialog with
// Cancel (the window and its timer keep running meanwhile), and adds the new
// sheets to the catalogue, so the follow step can pick them at the next tick.
// Failures are shown to the user; a cancel is not. Returns the host paths of
// the sheets written, none after a failure or a cancel.
QStringList ImportMapCommand(QWidget* pParent, CMapList& mapList);
