#pragma once

#include <QFont>
#include <QRect>

// Dialog templates give positions in dialog units: a quarter of the font's
// average character width across, an eighth of its height down.
QRect DialogUnitsToPixels(const QRect& rcUnits, const QFont& font);

class QDialog;
class QWidget;

// Puts a control on a dialog at a template rectangle in the dialog's font.
void PlaceInDialog(QWidget* pDialog, QWidget* pControl, const QRect& rcUnits);

// The dialog's "OK" (the default button, accepting) and "Cancel" (rejecting).
void AddOkCancel(QDialog* pDialog, const QRect& rcOk, const QRect& rcCancel);
