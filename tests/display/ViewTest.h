#pragma once

#include "app/CTrackerApp.h"
#include "display/CDisplayWnd.h"
#include "gps/CGpsTracker.h"
#include "tests/common/RecordingDC.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

// A display window of the device's size, a recording context of the same
// size, the application's fonts and an empty track: what every view test
// paints with.
class ViewTest : public ::testing::Test
{
protected:
    static constexpr int VIEW_WIDTH = 240;
    static constexpr int VIEW_HEIGHT = 268;

    ViewTest()
        : m_dc(VIEW_WIDTH, VIEW_HEIGHT)
    {
        theApp.CreateFonts();
        theApp.m_bKmh = 0;
        theApp.m_dMaxDilution = 5.0;
        theApp.m_trackPoints.clear();
        m_wnd.resize(VIEW_WIDTH, VIEW_HEIGHT);
    }

    ~ViewTest() override { theApp.m_trackPoints.clear(); }

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

    CDisplayWnd m_wnd;
    CRecordingDC m_dc;
    CGpsTracker m_tracker;
};

inline QPoint At(const CRecordingDC::Call& call)
{
    return call.rc.topLeft();
}
