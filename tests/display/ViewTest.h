#pragma once

#include "display/CDisplayWnd.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "tests/common/RecordingDC.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

// A display window of the device's size, a recording context of the same
// size, default settings, the views' fonts and an empty track: what every
// view test paints with.
class ViewTest : public ::testing::Test
{
protected:
    static constexpr int VIEW_WIDTH = 240;
    static constexpr int VIEW_HEIGHT = 268;

    ViewTest()
        : m_dc(VIEW_WIDTH, VIEW_HEIGHT)
    {
        m_wnd.resize(VIEW_WIDTH, VIEW_HEIGHT);
    }

    // What the painters read from the display window.
    CViewContext View() const { return m_wnd.ViewContext(m_wnd.GetClientRect()); }

    // Text calls, with the text, its top-left corner and its colour.
    const CRecordingDC::Call& Text(const QString& strText)
    {
        const CRecordingDC::Call* pCall = m_dc.FindText(strText);
        static const CRecordingDC::Call s_missing{};
        EXPECT_NE(pCall, nullptr) << "no text \"" << strText.toStdString() << "\" among \""
                                  << m_dc.Texts().join(QStringLiteral("\", \"")).toStdString() << "\"";
        return pCall ? *pCall : s_missing;
    }

    static QSize Extent(const QFont& font, const QString& strText)
    {
        const QFontMetrics fm(font);
        return QSize(fm.horizontalAdvance(strText), fm.height());
    }

    // Pixels of the finished picture within rc that are not background white.
    int Ink(const QRect& rc)
    {
        const QImage& image = m_dc.Image();
        int nInk = 0;
        for (int y = rc.top(); y <= rc.bottom(); ++y) {
            for (int x = rc.left(); x <= rc.right(); ++x)
                nInk += image.pixel(x, y) != qRgb(255, 255, 255);
        }
        return nInk;
    }

    int Count(const QRect& rc, QRgb colour)
    {
        const QImage& image = m_dc.Image();
        int nCount = 0;
        for (int y = rc.top(); y <= rc.bottom(); ++y) {
            for (int x = rc.left(); x <= rc.right(); ++x)
                nCount += image.pixel(x, y) == colour;
        }
        return nCount;
    }

    CTrackerSettings m_settings;
    CViewFonts m_fonts = CreateViewFonts();
    CGpsTracker m_tracker;
    CTrackPointList m_points;
    CMapList m_maps;
    CDisplayWnd m_wnd{{m_tracker, m_points, m_maps, m_settings, m_fonts}};
    CRecordingDC m_dc;
};

inline QPoint At(const CRecordingDC::Call& call)
{
    return call.rc.topLeft();
}
