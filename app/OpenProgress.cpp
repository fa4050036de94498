#include "app/OpenProgress.h"

#include "app/CTrackerApp.h"
#include "platform/MessageHook.h"
#include "track/TrackFormats.h"

#include <QCoreApplication>

namespace {

constexpr int OPEN_PROGRESS_STEPS = 1000;
// Often enough for a prompt Cancel and a moving bar, seldom enough to cost
// the reading nothing.
constexpr qint64 OPEN_PROGRESS_EVENTS_MS = 40;

}

COpenProgress::COpenProgress(QWidget* pParent, int nShowAfterMs)
    : m_pParent(pParent)
    , m_nShowAfterMs(nShowAfterMs)
{
    m_timer.start();
}

COpenProgress::~COpenProgress() = default;

bool COpenProgress::Step(uint64_t nRead, uint64_t nSize)
{
    const qint64 nElapsed = m_timer.elapsed();
    if (!m_pDialog) {
        if (nElapsed < m_nShowAfterMs)
            return true;
        m_pDialog = std::make_unique<QProgressDialog>(QStringLiteral("Reading the track..."),
                                                      QStringLiteral("Cancel"), 0, OPEN_PROGRESS_STEPS, m_pParent);
        m_pDialog->setWindowTitle(QStringLiteral("Open"));
        // The other windows wait: the track they show is still growing.
        m_pDialog->setWindowModality(Qt::ApplicationModal);
        m_pDialog->setMinimumDuration(0);
        m_pDialog->setAutoReset(false);
        m_pDialog->show();
    } else if (nElapsed - m_nLastEventsMs < OPEN_PROGRESS_EVENTS_MS) {
        return true;
    }
    m_nLastEventsMs = nElapsed;
    if (nSize > 0)
        m_pDialog->setValue(int(std::min(nRead, nSize) * OPEN_PROGRESS_STEPS / nSize));
    QCoreApplication::processEvents();
    return !m_pDialog->wasCanceled();
}

bool OpenTrackWithProgress(QWidget* pParent, const QString& strPath, int nShowAfterMs)
{
    COpenProgress progress(pParent, nShowAfterMs);
    const auto step = [&progress](uint64_t nRead, uint64_t nSize) { return progress.Step(nRead, nSize); };
    return ReportOutcome(ReadTrackFile(strPath, theApp.m_settings.m_nUtcCorrection, theApp.m_trackPoints, step));
}
