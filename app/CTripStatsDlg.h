#pragma once

#include "track/TripStats.h"

#include <QDialog>
#include <QLabel>
#include <QStringList>
#include <vector>

// Tools, "Trip statistics": what the stored track adds up to, one line per
// figure in a small box that fits the handheld's 240-pixel window.
class CTripStatsDlg : public QDialog
{
    Q_OBJECT

public:
    CTripStatsDlg(const CTripStats& stats, QWidget* pParent = nullptr);
    ~CTripStatsDlg() override;

    int DoModal();

    // The figures as the box shows them, label and value per line.
    static std::vector<std::pair<QString, QString>> Lines(const CTripStats& stats);

    std::vector<QLabel*> m_values;   // owned by the dialog, in line order
};

// Tools, "Trip statistics": the box for theApp.m_trackPoints, modal.
void ShowTripStatistics(QWidget* pParent);
