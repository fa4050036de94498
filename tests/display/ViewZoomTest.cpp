// View, "Zoom": its choices as the menu and the "Zoom" setting name them, and
// where a window puts the handheld's layout at each.
#include "display/ViewZoom.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ViewZoomTest, EveryChoiceByItsSettingAndCommand)
{
    const struct
    {
        int32_t nSetting;
        const char* szMenuText;
        int nCommandId;
        double dFactor;
    } ROWS[] = {
        {100, "1×", ID_VIEW_ZOOM_100, 1.0},
        {150, "1.5×", ID_VIEW_ZOOM_150, 1.5},
        {200, "2×", ID_VIEW_ZOOM_200, 2.0},
        {300, "3×", ID_VIEW_ZOOM_300, 3.0},
        {0, "Fit window", ID_VIEW_ZOOM_FIT, ZOOM_FIT_WINDOW},
    };
    ASSERT_EQ(ZoomTable().size(), std::size(ROWS));
    for (size_t i = 0; i < std::size(ROWS); ++i) {
        const CZoomRow& row = ZoomTable()[i];
        SCOPED_TRACE(ROWS[i].szMenuText);
        EXPECT_EQ(row.nSetting, ROWS[i].nSetting);
        EXPECT_STREQ(row.szMenuText, ROWS[i].szMenuText);
        EXPECT_EQ(row.nCommandId, ROWS[i].nCommandId);
        EXPECT_EQ(row.dFactor, ROWS[i].dFactor);
        EXPECT_EQ(&ZoomFromSetting(row.nSetting), &row);
        EXPECT_EQ(FindZoomByCommand(row.nCommandId), &row);
    }
    // A hand-edited file: anything else is the handheld's size.
    for (int32_t nStored : {-1, 1, 50, 250, 301, INT32_MAX})
        EXPECT_EQ(ZoomFromSetting(nStored).dFactor, 1.0) << nStored;
    EXPECT_EQ(FindZoomByCommand(ID_VIEW_ZOOM_100 - 1), nullptr);
}

// A fixed factor gives the views the whole window in larger pixels; "Fit
// window" the handheld's 240 x 268 at the largest factor that fits, centred
// on whole pixels.
TEST(ViewZoomTest, WhereTheLayoutLies)
{
    const QSize HANDHELD(ZOOM_LAYOUT_WIDTH, ZOOM_LAYOUT_HEIGHT);
    const struct
    {
        double dZoom;
        QSize window;
        double dScale;
        QPoint offset;
        QSize layout;
    } CASES[] = {
        {1.0, QSize(240, 268), 1.0, QPoint(0, 0), QSize(240, 268)},
        {2.0, QSize(480, 536), 2.0, QPoint(0, 0), QSize(240, 268)},
        {2.0, QSize(1920, 1053), 2.0, QPoint(0, 0), QSize(960, 526)},
        {1.5, QSize(361, 402), 1.5, QPoint(0, 0), QSize(241, 268)},
        {3.0, QSize(100, 50), 3.0, QPoint(0, 0), QSize(33, 16)},
        {ZOOM_FIT_WINDOW, QSize(720, 1440), 3.0, QPoint(0, 318), QSize(240, 268)},
        {ZOOM_FIT_WINDOW, QSize(1920, 1053), 1053.0 / 268, QPoint(488, 0), QSize(240, 268)},
        {ZOOM_FIT_WINDOW, QSize(120, 300), 0.5, QPoint(0, 83), QSize(240, 268)},
        {ZOOM_FIT_WINDOW, QSize(0, 0), 1.0, QPoint(0, 0), QSize(240, 268)},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(std::to_string(c.dZoom) + " in " + std::to_string(c.window.width()) + "x"
                     + std::to_string(c.window.height()));
        const CLayoutPlacement placement = PlaceLayout(c.dZoom, c.window, HANDHELD);
        EXPECT_DOUBLE_EQ(placement.dScale, c.dScale);
        EXPECT_EQ(placement.offset, c.offset);
        EXPECT_EQ(placement.rcLayout, QRect(QPoint(0, 0), c.layout));
        if (c.dZoom == ZOOM_FIT_WINDOW && !c.window.isEmpty()) {
            EXPECT_TRUE(QRect(QPoint(0, 0), c.window).contains(placement.WindowRect()));
        }
        EXPECT_EQ(placement.ToLayout(placement.offset), QPoint(0, 0));
    }
}

}
