#pragma once

#include "map/OnlineMaps.h"
#include "map/online/CTileFetcher.h"
#include "map/online/SheetPlacement.h"
#include "map/online/TileCache.h"

#include <QHash>
#include <QImage>
#include <chrono>
#include <mutex>

// The maker of the online maps module: finds the sheet around a position on
// disk or makes it from the source's tiles (cache first, then the network),
// and remembers how each source answered.
class COnlineSheetMaker : public COnlineMaps
{
public:
    COutcome MakeSheet(const COnlineSheetRequest& request, const MapImportProgress& fnProgress,
                       QString& strPath) override;
    QString SourceState(const QString& strSource) const override;

private:
    using CClock = std::chrono::steady_clock;

    // How a source last answered.
    struct CSourceHealth
    {
        bool m_bOffline = false;
        int m_nRefusals = 0;             // in a row: each doubles the pause
        CClock::time_point m_pausedUntil;
        int m_nLastRefusal = 0;          // its HTTP status
    };

    struct CTileSlot
    {
        int64_t m_nX = 0;       // the column as the server numbers it (wrapped)
        int64_t m_nY = 0;
        CTileRecord m_record;
        QImage m_image;         // null: white
        CTileCache::EState m_eState = CTileCache::EState::Missing;
    };

    COutcome FetchTiles(const COnlineSheetRequest& request, const CTileCache& cache, int nZoom,
                        std::vector<CTileSlot>& tiles, const MapImportProgress& fnProgress);
    // Why the network may not be asked now, or empty.
    QString PauseReason(const QString& strSource) const;
    void NoteAnswer(const QString& strSource, const CTileAnswer& answer);

    mutable std::mutex m_mutex;
    QHash<QString, CSourceHealth> m_health;   // by source name
};
