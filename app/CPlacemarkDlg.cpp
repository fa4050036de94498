#include "app/CPlacemarkDlg.h"

#include "app/DialogUnits.h"
#include "app/Resource.h"

#include <QLabel>

CPlacemarkDlg::CPlacemarkDlg(QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Dialog"));
    setFont(QFont(QStringLiteral("MS Shell Dlg"), 8));
    PlaceInDialog(this, &m_editName, {9, 9, 143, 17});
    PlaceInDialog(this, new QLabel(QStringLiteral("Latitude")), {9, 34, 36, 10});
    PlaceInDialog(this, &m_editLatitude, {59, 30, 93, 17});
    PlaceInDialog(this, new QLabel(QStringLiteral("Longitude")), {9, 57, 43, 10});
    PlaceInDialog(this, &m_editLongitude, {59, 53, 93, 17});
    m_editLatitude.setEnabled(false);
    m_editLongitude.setEnabled(false);

    AddOkCancel(this, {25, 86, 50, 14}, {95, 86, 50, 14});

    setFixedSize(DialogUnitsToPixels({0, 0, 159, 106}, font()).size());
}

CPlacemarkDlg::~CPlacemarkDlg() = default;

int CPlacemarkDlg::DoModal()
{
    m_editName.setText(m_strPlacemarkName);
    m_editLatitude.setText(m_strLatitude);
    m_editLongitude.setText(m_strLongitude);
    m_editName.setFocus();
    m_editName.selectAll();
    if (exec() != QDialog::Accepted)
        return IDCANCEL;
    m_strPlacemarkName = m_editName.text();
    m_strLatitude = m_editLatitude.text();
    m_strLongitude = m_editLongitude.text();
    return IDOK;
}
