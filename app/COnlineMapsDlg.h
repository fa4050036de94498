#pragma once

#include "map/OnlineSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QSpinBox>

// Tools, "Online maps…": on or off, the tile source (the built-in ones and
// the user's own from the settings), the tile zoom within the source's
// range and the size of the tile cache. Works on a copy of the settings,
// filled in by OK.
class COnlineMapsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit COnlineMapsDlg(const COnlineSettings& settings, QWidget* pParent = nullptr);
    ~COnlineMapsDlg() override;

    // Shows the dialog modally: IDOK or IDCANCEL.
    int DoModal();
    // Fills the controls from the settings.
    void OnInitDialog();
    // OK: the controls into the settings, close.
    void accept() override;

    COnlineSettings m_settings;

    QCheckBox m_checkOn;
    QComboBox m_comboSource;
    QSpinBox m_spinZoom;
    QSpinBox m_spinCache;
    QLabel m_labelSource;   // the chosen source's attribution and address

private:
    // A source chosen: the zoom's range becomes its own, its text shown.
    void OnSourceChanged(int nIndex);

    std::vector<CTileSource> m_sources;
};
