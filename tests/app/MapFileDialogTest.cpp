// Load map's dialog: a calibrated map is listed by its short name with its
// area in degrees beside it, so the sheets of one import read apart however
// long the import's name.
#include "app/FileDialogs.h"
#include "map/MapSheetGrid.h"
#include "platform/DevicePaths.h"
#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QRegularExpression>
#include <QSet>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

constexpr int64_t ARC_SECONDS_PER_DEGREE = 3600;
constexpr qint64 LISTING_WAIT_MS = 5000;
// Narrower than the names column of the smallest dialog, and narrower still.
constexpr int NARROW_TEXT_WIDTHS[] = {300, 200};

struct CCaptionCase
{
    const char* szFileName;
    const char* szCaption;
};

TEST(MapFileDialog, CaptionIsTheShortNameAndTheArea)
{
    const CCaptionCase CASES[] = {
        {"harbour_0_1_X4G30M0S_4G42M0SY52G30M0S_52G36M0S.bmp", "harbour_0_1  52.500–52.600°N 4.500–4.700°E"},
        {"X4G50M_5G0MY52G20M_52G25M.bmp", "52.333–52.417°N 4.833–5.000°E"},
        {"X-1G0M_-1G30MY-33G54M_-33G48M.bmp", "33.900–33.800°S 1.500–1.000°W"},
        {"quay_X0G-30M0S_0G30M0SY0G0M-20S_0G0M10S.bmp", "quay  0.0056°S–0.0028°N 0.500°W–0.500°E"},
        {"Thames.bmp", "Thames.bmp"},
        {"Xmas.bmp", "Xmas.bmp"},
    };
    for (const CCaptionCase& c : CASES)
        EXPECT_EQ(CMapFileDelegate::Caption(QString::fromUtf8(c.szFileName)).toStdString(), c.szCaption)
            << c.szFileName;
}

// Two rows and two columns of overlapping sheets, named as an import names them.
QStringList SheetNamesOfOneImport(const QString& strStem)
{
    QStringList names;
    for (int nRow = 0; nRow < 2; ++nRow) {
        for (int nCol = 0; nCol < 2; ++nCol) {
            CMapSheet sheet;
            sheet.m_nRow = nRow;
            sheet.m_nCol = nCol;
            const int64_t nWest = 4 * ARC_SECONDS_PER_DEGREE + nCol * 600;
            const int64_t nNorth = 52 * ARC_SECONDS_PER_DEGREE - nRow * 400;
            sheet.m_box = {nWest, nWest + 660, nNorth - 440, nNorth};
            names << SheetFileName(strStem, sheet);
        }
    }
    return names;
}

// What the dialog's rows show of the sheets at a text width: each with its
// row and column and its whole area or south-west corner, no two alike.
void ExpectWholeAndApart(const QStringList& names, const QFontMetrics& metrics, int nWidth)
{
    static const QRegularExpression AREA_OR_CORNER(
        QStringLiteral("_\\d_\\d  (\\d+\\.\\d+–)?\\d+\\.\\d+°N (\\d+\\.\\d+–)?\\d+\\.\\d+°E$"));
    QSet<QString> shown;
    for (const QString& strName : names) {
        const QString strCaption = CMapFileDelegate::Caption(strName);
        const QString strShown = CMapFileDelegate::ShownText(strName, metrics, nWidth);
        EXPECT_TRUE(AREA_OR_CORNER.match(strShown).hasMatch()) << strShown.toStdString();
        if (metrics.horizontalAdvance(strCaption) <= nWidth) {
            EXPECT_EQ(strShown, strCaption);
        }
        shown.insert(strShown);
    }
    EXPECT_EQ(shown.size(), names.size()) << QStringList(shown.values()).join(u'|').toStdString();
}

TEST(MapFileDialog, SheetsOfOneImportReadApart)
{
    const QString strStem = QStringLiteral("Waddenzee_Harlingen_Terschelling_Vlieland_kaart_1811_editie_2026");
    const QStringList names = SheetNamesOfOneImport(strStem);
    QDir gps(HostPath(QStringLiteral("\\Storage card\\GPS\\")));
    ASSERT_TRUE(gps.mkpath(QStringLiteral(".")));
    for (const QString& strName : names) {
        QFile file(gps.filePath(strName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    CModalDriver driver;
    driver.Then([&](QDialog* pDialog) {
        auto* pFiles = qobject_cast<QFileDialog*>(pDialog);
        ASSERT_NE(pFiles, nullptr);
        ASSERT_NE(dynamic_cast<CMapFileDelegate*>(pFiles->itemDelegate()), nullptr);
        auto* pTree = pFiles->findChild<QTreeView*>();
        ASSERT_NE(pTree, nullptr);
        ASSERT_TRUE(pTree->isVisible());
        // The folder is listed by a thread of the model's.
        QElapsedTimer clock;
        clock.start();
        while (pTree->model()->rowCount(pTree->rootIndex()) < names.size() && clock.elapsed() < LISTING_WAIT_MS)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(pTree->model()->rowCount(pTree->rootIndex()), names.size());
        const QFontMetrics metrics(pTree->font());
        // The names column less about what the icon and the margins take.
        const int nTextWidth = pTree->header()->sectionSize(0) - 2 * pTree->iconSize().width();
        ExpectWholeAndApart(names, metrics, nTextWidth);
        for (const int nWidth : NARROW_TEXT_WIDTHS)
            ExpectWholeAndApart(names, metrics, nWidth);
        // A row chosen by its caption gives the file's own name.
        auto* pModel = qobject_cast<QFileSystemModel*>(pTree->model());
        ASSERT_NE(pModel, nullptr);
        pTree->selectionModel()->select(pModel->index(gps.filePath(names[1])),
                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        pDialog->accept();
    });
    EXPECT_EQ(PromptOpenMap(nullptr), gps.filePath(names[1]));
    EXPECT_EQ(driver.m_nUnexpected, 0);
    for (const QString& strName : names)
        gps.remove(strName);
}

}
