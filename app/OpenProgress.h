#pragma once

#include "track/LoadProgress.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QString>
#include <memory>

class QWidget;

// File Open's progress: nothing for a file read at once, and for one that
// takes longer a dialog with the share read and Cancel.
class COpenProgress
{
public:
    explicit COpenProgress(QWidget* pParent, int nShowAfterMs);
    ~COpenProgress();
    COpenProgress(const COpenProgress&) = delete;
    COpenProgress& operator=(const COpenProgress&) = delete;

    // False once the user has cancelled.
    bool Step(uint64_t nRead, uint64_t nSize);

private:
    QWidget* m_pParent;
    int m_nShowAfterMs;
    QElapsedTimer m_timer;
    qint64 m_nLastEventsMs = 0;
    std::unique_ptr<QProgressDialog> m_pDialog;   // once reading has taken m_nShowAfterMs
};

// Reading a track in the window takes this long before the dialog shows.
constexpr int OPEN_PROGRESS_DELAY_MS = 500;

// File Open of a track at strPath with the progress dialog after
// nShowAfterMs; false when it failed (its message shown) or was cancelled,
// and then the track list is as it was.
bool OpenTrackWithProgress(QWidget* pParent, const QString& strPath, int nShowAfterMs = OPEN_PROGRESS_DELAY_MS);
