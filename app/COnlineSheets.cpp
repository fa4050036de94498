#include "app/COnlineSheets.h"

#include "app/WorkerProgress.h"
#include "gps/CGpsTracker.h"
#include "map/MapCatalogue.h"
#include "map/Viewport.h"
#include "platform/DevicePaths.h"

#include <QFileInfo>
#include <QThread>

namespace {

// A source that failed is asked again for the next sheet only after this.
constexpr qint64 ONLINE_AHEAD_RETRY_MS = 30000;

OnlineMapsFactory& Factory()
{
    static OnlineMapsFactory g_fnFactory = NewOnlineMaps;
    return g_fnFactory;
}

}

OnlineMapsFactory SetOnlineMapsFactory(OnlineMapsFactory fnFactory)
{
    OnlineMapsFactory fnPrevious = std::move(Factory());
    Factory() = std::move(fnFactory);
    return fnPrevious;
}

CMapBitmap* FindSheetRecord(const CMapList& mapList, const QString& strPath)
{
    const QFileInfo sheet(strPath);
    for (const auto& pMap : mapList) {
        if (QFileInfo(HostPath(pMap->m_path)) == sheet)
            return pMap.get();
    }
    return nullptr;
}

COnlineSheets::COnlineSheets(CMapList& mapList)
    : m_mapList(mapList)
{
}

COnlineSheets::~COnlineSheets()
{
    // The request ends at its next tile once told to stop.
    if (m_pAhead) {
        m_bStop = true;
        m_pAhead->wait();
        delete m_pAhead;
    }
}

std::shared_ptr<COnlineMaps> COnlineSheets::Maker(COutcome& outcome)
{
    if (!m_pMaker)
        m_pMaker = Factory()(outcome);
    else
        outcome = COutcome::Ok();
    return m_pMaker;
}

CMapBitmap* COnlineSheets::MakeSheet(QWidget* pParent, const COnlineSettings& settings, double dLatitude,
                                     double dLongitude, COutcome& outcome)
{
    const std::shared_ptr<COnlineMaps> pMaker = Maker(outcome);
    if (!pMaker)
        return nullptr;
    const COnlineSheetRequest request = settings.Request(dLatitude, dLongitude);
    QString strPath;
    m_bMaking = true;
    RunCancellableWork(pParent, QStringLiteral("Making a map from %1").arg(request.m_source.m_strName),
                       [&](const WorkerProgress& fnProgress) {
                           outcome = pMaker->MakeSheet(request, fnProgress, strPath);
                       });
    m_bMaking = false;
    if (!outcome)
        return nullptr;
    AddSheetsToCatalogue(m_mapList, {strPath});
    CMapBitmap* pMap = FindSheetRecord(m_mapList, strPath);
    if (!pMap)
        outcome = COutcome::Fail(QStringLiteral("The online map has no position in its name: ") + strPath);
    return pMap;
}

bool COnlineSheets::HeldWell(double dLatitude, double dLongitude) const
{
    for (const auto& pMap : m_mapList) {
        if (IsOnlineSheet(*pMap) && !NearMapEdge(*pMap, dLongitude, dLatitude))
            return true;
    }
    return false;
}

void COnlineSheets::LookAhead(const COnlineSettings& settings, const CMapBitmap* pCurrent,
                              const CGpsTracker& tracker)
{
    if (!settings.m_bOn || m_pAhead || m_bMaking || !pCurrent || !IsOnlineSheet(*pCurrent) || !tracker.HasPosition())
        return;
    if (m_sinceFailure.isValid() && m_sinceFailure.elapsed() < ONLINE_AHEAD_RETRY_MS)
        return;
    const double dLatitude = tracker.m_fLatitude;
    const double dLongitude = tracker.m_fLongitude;
    if (!NearMapEdge(*pCurrent, dLongitude, dLatitude) || HeldWell(dLatitude, dLongitude))
        return;
    COutcome made;
    const std::shared_ptr<COnlineMaps> pMaker = Maker(made);
    if (!pMaker) {
        m_sinceFailure.start();
        return;
    }
    const COnlineSheetRequest request = settings.Request(dLatitude, dLongitude);
    m_bStop = false;
    // The thread writes only the two members below until it has finished.
    m_pAhead = QThread::create([this, pMaker, request] {
        m_aheadOutcome = pMaker->MakeSheet(request, [this](double) { return !m_bStop; }, m_strAheadPath);
    });
    connect(m_pAhead, &QThread::finished, this, &COnlineSheets::AheadFinished);
    m_pAhead->start();
}

void COnlineSheets::AheadFinished()
{
    m_pAhead->wait();
    delete m_pAhead;
    m_pAhead = nullptr;
    if (m_aheadOutcome) {
        m_sinceFailure.invalidate();
        AddSheetsToCatalogue(m_mapList, {m_strAheadPath});
    } else {
        // The corner tells why ("offline"); the next tries wait a while.
        m_sinceFailure.start();
    }
}

QString COnlineSheets::State(const COnlineSettings& settings, const CMapBitmap* pCurrent) const
{
    if (!settings.m_bOn || !m_pMaker || !pCurrent || !IsOnlineSheet(*pCurrent))
        return QString();
    return m_pMaker->SourceState(settings.Source().m_strName);
}
