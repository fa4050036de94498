#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>

// Set placemark: the proposed name to confirm or edit, and the position shown
// in two fields that cannot be changed.
class CPlacemarkDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CPlacemarkDlg(QWidget* pParent = nullptr);
    ~CPlacemarkDlg() override;

    // Shows the members, runs modally and, on OK, copies the name back:
    // IDOK or IDCANCEL.
    int DoModal();

    QString m_strLatitude;
    QString m_strLongitude;
    QString m_strPlacemarkName;

    QLineEdit m_editName;
    QLineEdit m_editLatitude;
    QLineEdit m_editLongitude;
};
