#include "app/DialogUnits.h"

#include <QFontMetrics>
#include <QDialog>
#include <QPushButton>

namespace {

// Rounded a * b / c, as the dialog manager scales.
int MulDiv(int a, int b, int c)
{
    const long long n = static_cast<long long>(a) * b;
    return static_cast<int>(n >= 0 ? (n + c / 2) / c : (n - c / 2) / c);
}

}

QRect DialogUnitsToPixels(const QRect& rcUnits, const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString ALPHABET = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int nBaseX = std::max(1, (metrics.horizontalAdvance(ALPHABET) / 26 + 1) / 2);
    const int nBaseY = std::max(1, metrics.height());
    return QRect(MulDiv(rcUnits.x(), nBaseX, 4), MulDiv(rcUnits.y(), nBaseY, 8),
                 MulDiv(rcUnits.width(), nBaseX, 4), MulDiv(rcUnits.height(), nBaseY, 8));
}

void PlaceInDialog(QWidget* pDialog, QWidget* pControl, const QRect& rcUnits)
{
    pControl->setParent(pDialog);
    pControl->setGeometry(DialogUnitsToPixels(rcUnits, pDialog->font()));
}

void AddOkCancel(QDialog* pDialog, const QRect& rcOk, const QRect& rcCancel)
{
    auto* pOk = new QPushButton(QStringLiteral("OK"));
    PlaceInDialog(pDialog, pOk, rcOk);
    pOk->setDefault(true);
    QObject::connect(pOk, &QPushButton::clicked, pDialog, &QDialog::accept);
    auto* pCancel = new QPushButton(QStringLiteral("Cancel"));
    PlaceInDialog(pDialog, pCancel, rcCancel);
    QObject::connect(pCancel, &QPushButton::clicked, pDialog, &QDialog::reject);
}
