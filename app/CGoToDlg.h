#pragma once

#include "gps/TrackerSettings.h"
#include "track/CTrackPoint.h"
#include "track/Destination.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <vector>

class CGpsTracker;
class QMessageBox;

// Tools, "Go to…": a placemark of the track, with its distance from the
// position, or coordinates typed in any common form become the destination
// on OK; "Stop" clears it. Works on a copy of the settings, given back on
// IDOK.
class CGoToDlg : public QDialog
{
    Q_OBJECT

public:
    CGoToDlg(const CTrackerSettings& settings, const CTrackPointList& points, const CGpsTracker& tracker,
             QWidget* pParent = nullptr);
    ~CGoToDlg() override;

    // IDOK when a destination was chosen or cleared, IDCANCEL otherwise.
    int DoModal();

    CTrackerSettings m_settings;
    std::vector<CDestination> m_placemarks;   // in the order of the list

    QListWidget m_listPlacemarks;
    QLineEdit m_editCoordinates;
    QLabel m_labelProblem;   // why the coordinates cannot be used
    QPushButton m_buttonOk;
    QPushButton m_buttonStop;
    QPushButton m_buttonCancel;

private:
    void OnOk();
    void OnStop();
    // The destination the dialog holds, or the problem shown.
    std::optional<CDestination> Chosen();
};

// The non-modal note of an arrival, "Arrived at NAME", with one beep; it
// closes itself when dismissed.
QMessageBox* ShowArrivalNote(QWidget* pParent, const QString& strName);
