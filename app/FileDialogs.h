#pragma once

#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>

class QFontMetrics;
class QWidget;

// Filters as the file dialogs list them, "Description|pattern|...||".
inline constexpr const char* FILTER_MAP = "Bitmap (*.bmp)|*.bmp||";

// One Qt name filter per description and pattern pair.
QStringList NameFilters(const char* szFilter);

// The track formats as File Open lists them, with all of them last, and as
// File Save lists them.
QStringList OpenTrackFilters();
QStringList SaveTrackFilters();

// The dialogs start in "\Storage card\GPS\". Each returns the chosen host
// path, or an empty string when the user cancels.
QString PromptOpenTrack(QWidget* pParent);
// Adds the extension of the chosen filter to a name typed without one, and
// asks before an existing file is overwritten.
QString PromptSaveTrack(QWidget* pParent);
QString PromptOpenMap(QWidget* pParent);

// Load map's dialog lists a calibrated map by its short name (the file name
// before the calibration: an import's stem, row and column) with its area in
// degrees beside it, "harbour_0_1  52.333–52.417°N 4.833–5.000°E", the full
// name as its tool tip. Where the column is too narrow the short name gives
// way first, its end elided, then the area to its south-west corner, so the
// sheets of one import never read alike; an import's row and column stay
// whole. Other entries show as the dialog shows them.
class CMapFileDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The short name and the area, or the name itself for a file without
    // a calibrated area.
    static QString Caption(const QString& strFileName);
    // What a row of that file shows in nWidth pixels of text.
    static QString ShownText(const QString& strFileName, const QFontMetrics& metrics, int nWidth);

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* pEvent, QAbstractItemView* pView, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
