// The About box: texts, icon, and the layout that follows the orientation.
#include "app/AppIcon.h"
#include "app/CAboutDlg.h"
#include "app/DialogUnits.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Layout
{
    QRect rcIcon;
    QRect rcVersion;
    QRect rcAbout;
};

const Layout PORTRAIT = {{12, 12, 21, 20}, {12, 36, 70, 8}, {12, 48, 66, 8}};
const Layout LANDSCAPE = {{12, 12, 21, 20}, {48, 12, 66, 8}, {48, 24, 66, 8}};

void ExpectLayout(const CAboutDlg& dlg, const Layout& layout)
{
    EXPECT_EQ(dlg.m_icon.geometry(), DialogUnitsToPixels(layout.rcIcon, dlg.font()));
    EXPECT_EQ(dlg.m_version.geometry(), DialogUnitsToPixels(layout.rcVersion, dlg.font()));
    EXPECT_EQ(dlg.m_about.geometry(), DialogUnitsToPixels(layout.rcAbout, dlg.font()));
}

TEST(AboutDlgTest, TextsAndIcon)
{
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "About veltrip");
    EXPECT_EQ(dlg.m_version.text(), "veltrip Version 1.0");
    EXPECT_EQ(dlg.m_version.textFormat(), Qt::PlainText);
    EXPECT_FALSE(dlg.m_about.text().isEmpty());
    EXPECT_FALSE(dlg.m_icon.pixmap().isNull());
    const QList<QSize> sizes = AppIcon().availableSizes();
    EXPECT_EQ(sizes, (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
}

TEST(AboutDlgTest, LayoutFollowsTheWindowsOrientation)
{
    QWidget owner;
    owner.resize(240, 320);
    CAboutDlg dlg(&owner);
    dlg.show();
    EXPECT_TRUE(dlg.m_bPortrait);
    ExpectLayout(dlg, PORTRAIT);

    // Turned: the next size change lays the box out again.
    owner.resize(320, 240);
    dlg.resize(dlg.size() + QSize(1, 1));
    EXPECT_FALSE(dlg.m_bPortrait);
    ExpectLayout(dlg, LANDSCAPE);

    // A square window counts as landscape.
    owner.resize(300, 300);
    dlg.OnSize();
    EXPECT_FALSE(dlg.m_bPortrait);
    ExpectLayout(dlg, LANDSCAPE);
}

}

namespace {

TEST(AboutDlgTest, OkButtonClosesTheBox)
{
    CAboutDlg dlg;
    dlg.show();
    EXPECT_EQ(dlg.m_ok.text(), "OK");
    EXPECT_TRUE(dlg.m_ok.isVisible());
    EXPECT_TRUE(dlg.rect().contains(dlg.m_ok.geometry())) << "the button lies within the box";
    dlg.m_ok.click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

}
