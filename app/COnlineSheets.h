#pragma once

#include "map/CMapBitmap.h"
#include "map/OnlineMaps.h"
#include "map/OnlineSettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class CGpsTracker;
class QThread;
class QWidget;

// Where the window gets its maker of online sheets: the module's, made on
// first use; tests put a maker of their own in its place.
using OnlineMapsFactory = std::function<std::unique_ptr<COnlineMaps>(COutcome& outcome)>;
// Returns the factory it replaces.
OnlineMapsFactory SetOnlineMapsFactory(OnlineMapsFactory fnFactory);

// The window's online sheets: Load map's sheet behind a progress dialog, and
// the next sheet asked for in the background while the position nears the
// edge of the current one. The maker, and with it the module, comes into
// being only when the first sheet is asked for, so with online maps off the
// program opens no connection and loads no network library.
class COnlineSheets : public QObject
{
public:
    explicit COnlineSheets(CMapList& mapList);
    ~COnlineSheets() override;
    COnlineSheets(const COnlineSheets&) = delete;
    COnlineSheets& operator=(const COnlineSheets&) = delete;

    // Makes the sheet around the position on a worker thread behind a
    // progress dialog with Cancel, adds it to the catalogue and returns its
    // record, or null with the reason in outcome.
    CMapBitmap* MakeSheet(QWidget* pParent, const COnlineSettings& settings, double dLatitude,
                          double dLongitude, COutcome& outcome);

    // The tick's look ahead, in the map view with a valid position: while
    // the current map is an online sheet and the position is near its edge
    // or off it, and no online sheet of the catalogue holds it well, the
    // sheet around the position is asked for in the background, one at a
    // time, again only a while after one failed. Once written it joins the
    // catalogue on this thread; the follow step then switches to it. Never
    // waits for the network.
    void LookAhead(const COnlineSettings& settings, const CMapBitmap* pCurrent, const CGpsTracker& tracker);

    // True while a sheet is being made in the background.
    bool Busy() const { return m_pAhead != nullptr; }

    // The source's state for the map view's corner ("offline") while the
    // current map is an online sheet; empty otherwise.
    QString State(const COnlineSettings& settings, const CMapBitmap* pCurrent) const;

private:
    // The maker, made on first use; null with the reason in outcome.
    std::shared_ptr<COnlineMaps> Maker(COutcome& outcome);
    bool HeldWell(double dLatitude, double dLongitude) const;
    void AheadFinished();

    CMapList& m_mapList;
    std::shared_ptr<COnlineMaps> m_pMaker;
    // The background request while it runs, what it wrote, how it went.
    QThread* m_pAhead = nullptr;
    // Load map's sheet is being made: the ticks of its progress dialog ask
    // for none besides.
    bool m_bMaking = false;
    std::atomic<bool> m_bStop {false};
    QString m_strAheadPath;
    COutcome m_aheadOutcome;
    // Since the last background failure: no new request before a while.
    QElapsedTimer m_sinceFailure;
};

// The catalogue's record of a sheet written at strPath, or null.
CMapBitmap* FindSheetRecord(const CMapList& mapList, const QString& strPath);
