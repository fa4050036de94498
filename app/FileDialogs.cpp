#include "app/FileDialogs.h"

#include "map/CMapBitmap.h"
#include "platform/DevicePaths.h"
#include "track/TrackFormats.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>
#include <cmath>

namespace {

// Degrees of an area as Load map lists it: three decimals (about 100 m),
// four for a sheet narrower than a hundredth of a degree.
constexpr int MAPFILE_DECIMALS = 3;
constexpr int MAPFILE_FINE_DECIMALS = 4;
constexpr double MAPFILE_FINE_SPAN = 0.01;
constexpr const char16_t* MAPFILE_GAP = u"  ";
// Characters of a stem worth showing before the area gives way to its corner.
constexpr int MAPFILE_MIN_STEM = 4;
// Columns of the file dialog's detail view.
constexpr int MAPFILE_SIZE_COLUMN = 1;
constexpr int MAPFILE_TYPE_COLUMN = 2;

struct CMapFileParts
{
    QString strShort;   // the name before the calibration
    QString strArea;    // empty: the file carries no area
    QString strCorner;  // the area's south-west corner, where the area takes too much room
};

// "52.333–52.417°N" from south to north (west to east); a range across the
// equator or the prime meridian names the side of each end.
QString DegreeValue(double d, double dSpan)
{
    return QString::number(std::abs(d), 'f', dSpan < MAPFILE_FINE_SPAN ? MAPFILE_FINE_DECIMALS : MAPFILE_DECIMALS);
}

// "52.333°N" for a value of an area dSpan degrees across.
QString Degrees(double d, double dSpan, QChar chPositive, QChar chNegative)
{
    return DegreeValue(d, dSpan) + u'°' + (d < 0 ? chNegative : chPositive);
}

QString DegreeRange(double dMin, double dMax, QChar chPositive, QChar chNegative)
{
    const double dSpan = dMax - dMin;
    const QChar chMin = dMin < 0 ? chNegative : chPositive;
    const QChar chMax = dMax < 0 ? chNegative : chPositive;
    if (chMin == chMax)
        return DegreeValue(dMin, dSpan) + u'–' + DegreeValue(dMax, dSpan) + u'°' + chMin;
    return Degrees(dMin, dSpan, chPositive, chNegative) + u'–' + Degrees(dMax, dSpan, chPositive, chNegative);
}

CMapFileParts SplitMapFileName(const QString& strFileName)
{
    CMapBitmap map;
    map.m_path = strFileName;
    if (!map.ParseCalibration() || !(map.m_lonMax > map.m_lonMin) || !(map.m_latMax > map.m_latMin))
        return {strFileName, QString(), QString()};
    QString strShort = strFileName.left(strFileName.indexOf(u'X'));
    while (strShort.endsWith(u'_') || strShort.endsWith(u' '))
        strShort.chop(1);
    const double dLatSpan = map.m_latMax - map.m_latMin;
    const double dLonSpan = map.m_lonMax - map.m_lonMin;
    return {strShort,
            DegreeRange(map.m_latMin, map.m_latMax, u'N', u'S') + u' '
                + DegreeRange(map.m_lonMin, map.m_lonMax, u'E', u'W'),
            Degrees(map.m_latMin, dLatSpan, u'N', u'S') + u' ' + Degrees(map.m_lonMin, dLonSpan, u'E', u'W')};
}

QString JoinParts(const QString& strShort, const QString& strArea)
{
    return strShort.isEmpty() ? strArea : strShort + QString::fromUtf16(MAPFILE_GAP) + strArea;
}

// The file name of a row of the dialog's model; empty for a folder or
// anything else that is not a file.
QString RowFileName(const QModelIndex& index)
{
    const auto* pModel = qobject_cast<const QFileSystemModel*>(index.model());
    if (index.column() != 0 || !pModel || pModel->isDir(index))
        return QString();
    return pModel->fileName(index);
}

enum class EPrompt { OpenTrack, SaveTrack, OpenMap };

QString Prompt(QWidget* pParent, EPrompt kind)
{
    static const QRegularExpression PATTERN(QStringLiteral("\\(\\*\\.(\\w+)\\)"));
    QFileDialog dialog(pParent, QString(), HostPath(GPS_FOLDER));
    // Qt's own dialog on every desktop, so the default extension follows the
    // filter the same way everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(kind == EPrompt::SaveTrack ? SaveTrackFilters()
                          : kind == EPrompt::OpenMap ? NameFilters(FILTER_MAP)
                                                     : OpenTrackFilters());
    if (kind == EPrompt::SaveTrack) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (kind == EPrompt::OpenMap) {
        // The names column takes the dialog's width, so widening the dialog
        // shows more of each name.
        dialog.setViewMode(QFileDialog::Detail);
        dialog.setItemDelegate(new CMapFileDelegate(&dialog));
        // Every map is a bitmap of some size: its name, area and date say
        // more, in the room the size and type would take.
        if (auto* pTree = dialog.findChild<QTreeView*>()) {
            pTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
            pTree->setColumnHidden(MAPFILE_SIZE_COLUMN, true);
            pTree->setColumnHidden(MAPFILE_TYPE_COLUMN, true);
        }
    } else {
        // The default extension follows the chosen filter.
        dialog.setDefaultSuffix(QStringLiteral("gpd"));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& strFilter) {
            const QRegularExpressionMatch m = PATTERN.match(strFilter);
            if (m.hasMatch())
                dialog.setDefaultSuffix(m.captured(1));
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

}

QStringList NameFilters(const char* szFilter)
{
    const QStringList parts = QString::fromLatin1(szFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        const QString strPattern = parts[i + 1];
        filters << (parts[i].contains(QLatin1Char('(') + strPattern + QLatin1Char(')'))
                        ? parts[i]
                        : parts[i] + QStringLiteral(" (") + strPattern + QLatin1Char(')'));
    }
    return filters;
}

QStringList OpenTrackFilters()
{
    QStringList filters;
    QStringList patterns;
    for (const CTrackFormat& format : TrackFormats()) {
        filters << QString::fromLatin1(format.szOpenFilter);
        patterns << QStringLiteral("*") + QLatin1String(format.szSuffix);
    }
    return filters << QStringLiteral("All supported (%1)").arg(patterns.join(QLatin1Char(' ')));
}

QStringList SaveTrackFilters()
{
    QStringList filters;
    for (const CTrackFormat& format : TrackFormats())
        filters << QString::fromLatin1(format.szSaveFilter);
    return filters;
}

QString PromptOpenTrack(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::OpenTrack);
}

QString PromptSaveTrack(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::SaveTrack);
}

QString PromptOpenMap(QWidget* pParent)
{
    return Prompt(pParent, EPrompt::OpenMap);
}

QString CMapFileDelegate::Caption(const QString& strFileName)
{
    const CMapFileParts parts = SplitMapFileName(strFileName);
    return parts.strArea.isEmpty() ? strFileName : JoinParts(parts.strShort, parts.strArea);
}

QString CMapFileDelegate::ShownText(const QString& strFileName, const QFontMetrics& metrics, int nWidth)
{
    const CMapFileParts parts = SplitMapFileName(strFileName);
    if (parts.strArea.isEmpty())
        return strFileName;
    const QString strWhole = JoinParts(parts.strShort, parts.strArea);
    if (metrics.horizontalAdvance(strWhole) <= nWidth)
        return strWhole;
    // An import's row and column stay whole; its stem keeps its start. Where
    // the stem would have no room at all the area gives way to its corner,
    // which tells the sheets of one import apart as well.
    static const QRegularExpression SHEET_PLACE(QStringLiteral("_\\d+_\\d+$"));
    const qsizetype nPlace = parts.strShort.indexOf(SHEET_PLACE);
    const QString strPlace = nPlace < 0 ? QString() : parts.strShort.mid(nPlace);
    const QString strStem = parts.strShort.left(parts.strShort.size() - strPlace.size());
    const auto stemWidth = [&](const QString& strArea) {
        return nWidth - metrics.horizontalAdvance(strPlace + QString::fromUtf16(MAPFILE_GAP) + strArea);
    };
    const int nMinStem = metrics.horizontalAdvance(strStem.left(MAPFILE_MIN_STEM) + u'…');
    const QString strArea = strStem.isEmpty() || stemWidth(parts.strArea) >= nMinStem ? parts.strArea : parts.strCorner;
    return JoinParts(metrics.elidedText(strStem, Qt::ElideRight, std::max(stemWidth(strArea), 0)) + strPlace,
                     strArea);
}

void CMapFileDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QStyle* pStyle = opt.widget ? opt.widget->style() : QApplication::style();
    if (const QString strName = RowFileName(index); !strName.isEmpty()) {
        // The style draws the text inside this margin on either side.
        const int nMargin = pStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
        const int nWidth = pStyle->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget).width() - 2 * nMargin;
        opt.text = ShownText(strName, opt.fontMetrics, nWidth);
    }
    pStyle->drawControl(QStyle::CE_ItemViewItem, &opt, pPainter, opt.widget);
}

QSize CMapFileDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (const QString strName = RowFileName(index); !strName.isEmpty())
        size.rwidth() += option.fontMetrics.horizontalAdvance(Caption(strName))
                         - option.fontMetrics.horizontalAdvance(index.data().toString());
    return size;
}

bool CMapFileDelegate::helpEvent(QHelpEvent* pEvent, QAbstractItemView* pView, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    const QString strName = RowFileName(index);
    if (pEvent->type() != QEvent::ToolTip || strName.isEmpty())
        return QStyledItemDelegate::helpEvent(pEvent, pView, option, index);
    QToolTip::showText(pEvent->globalPos(), strName, pView);
    return true;
}
