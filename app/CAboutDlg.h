#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

// The About box: icon, name and version, and a line about the program. Its
// controls follow the window's orientation: below the icon when the window is
// taller than wide (portrait), beside it otherwise (landscape).
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
    ~CAboutDlg() override;

    int DoModal();

    // Lays the controls out from the portrait or the landscape template.
    void OnSize();
    bool m_bPortrait = true;

    QLabel m_icon;       // control 201
    QLabel m_version;    // control 202
    QLabel m_about;      // control 203
    // The handheld showed OK in the caption; a desktop caption has none, so
    // the box carries its own at the bottom right.
    QPushButton m_ok;

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
};
