#include "app/ReceiverSearch.h"

#include "app/ExitSignals.h"
#include "app/WorkerProgress.h"
#include "gps/CReceiverProbe.h"

#include <QMutex>
#include <QProgressDialog>
#include <atomic>

namespace {

// How often the window takes the probe's latest text, and its width.
constexpr int SEARCH_POLL_MS = 50;
constexpr int SEARCH_WINDOW_CHARS = 60;

// The probe's latest text, written on its thread and read on the window's.
class CSearchText
{
public:
    void Set(const QString& strText)
    {
        const QMutexLocker lock(&m_mutex);
        m_strText = strText;
    }
    QString Get()
    {
        const QMutexLocker lock(&m_mutex);
        return m_strText;
    }

private:
    QMutex m_mutex;
    QString m_strText;
};

}

bool SearchReceiverWithProgress(QWidget* pParent, QString& strPort, int& nBaudRate)
{
    CReceiverProbe probe(CProbePlaces::FromEnvironment());
    CSearchText text;
    std::atomic<bool> bCancel {false};
    COutcome outcome;
    const auto work = [&] {
        outcome = probe.Run([&text](const QString& strText) { text.Set(strText); }, &bCancel);
    };

    // Busy, without a share done: the probe ends at the first answer.
    QProgressDialog window(QStringLiteral("Looking for a GPS receiver..."), QStringLiteral("Cancel"), 0, 0, pParent);
    window.setWindowTitle(QStringLiteral("veltrip"));
    window.setMinimumDuration(0);
    window.setMinimumWidth(window.fontMetrics().averageCharWidth() * SEARCH_WINDOW_CHARS);
    QObject::connect(&window, &QProgressDialog::canceled, [&bCancel] { bCancel = true; });
    RunWithProgress(window, SEARCH_POLL_MS, work, [&] {
        // A stop signal does not wait for the rest of the search.
        if (ExitRequested())
            bCancel = true;
        if (const QString strText = text.Get(); !strText.isEmpty())
            window.setLabelText(strText);
    });
    if (!outcome)
        return false;
    strPort = probe.m_strPort;
    nBaudRate = probe.m_nBaudRate;
    return true;
}
