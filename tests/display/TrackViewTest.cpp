#include "display/ViewColours.h"
#include "display/TrackView.h"
#include "tests/display/ViewTest.h"

namespace {

class TrackViewTest : public ViewTest
{
protected:
    void Paint() { DrawTrackView(&m_dc, View()); }

    void Add(float fLatitude, float fLongitude, const QString& strName = QString())
    {
        CTrackPoint point;
        point.m_fLatitude = fLatitude;
        point.m_fLongitude = fLongitude;
        point.m_strName = strName;
        m_points.push_back(point);
    }

    // The square 0.5 x 0.5 degrees with its south-west corner at the origin,
    // walked anticlockwise.
    void AddSquare(float fLatitude, float fLongitude)
    {
        Add(fLatitude, fLongitude);
        Add(fLatitude + 0.5f, fLongitude);
        Add(fLatitude + 0.5f, fLongitude + 0.5f);
        Add(fLatitude, fLongitude + 0.5f);
    }

    // Lines drawn with the black track pen, by end point.
    std::vector<QPoint> TrackLines() const
    {
        std::vector<QPoint> ends;
        for (const CRecordingDC::Call& call : m_dc.CallsOf(QStringLiteral("LineTo"))) {
            if (call.pen.color() == CLR_BLACK && call.pen.width() == 1)
                ends.push_back(At(call));
        }
        return ends;
    }

    std::vector<QRect> Ellipses(int nRadius) const
    {
        std::vector<QRect> boxes;
        for (const CRecordingDC::Call& call : m_dc.CallsOf(QStringLiteral("Ellipse"))) {
            if (call.rc.width() == 2 * nRadius + 1)
                boxes.push_back(call.rc);
        }
        return boxes;
    }
};

TEST_F(TrackViewTest, EmptyTrackDrawsNeedleAndCourseOnly)
{
    m_tracker.m_fCourse = 12.0f;
    m_tracker.m_nUpdateFlags = UPD_COURSE;
    Paint();
    ASSERT_EQ(m_dc.m_calls.size(), 4u);
    EXPECT_EQ(m_dc.m_calls[0].rc, QRect(QPoint(2, 17), QPoint(48, 63)));
    const QSize course = Extent(CDC::DefaultFont(), QStringLiteral("12\u00B0"));
    const CRecordingDC::Call& text = Text(QStringLiteral("12\u00B0"));
    EXPECT_EQ(At(text), QPoint(25 - course.width() / 2, 40 - course.height() / 2));
    EXPECT_EQ(text.textColor, CLR_BLACK);
}

TEST_F(TrackViewTest, TrackWithoutExtentDrawsNoScaleAndNoLine)
{
    const std::vector<std::vector<QPointF>> tracks = {
        {{52.0, 5.0}},
        {{52.0, 5.0}, {52.0, 5.5}, {52.0, 6.0}},
        {{52.0, 5.0}, {52.5, 5.0}},
    };
    for (const auto& track : tracks) {
        m_points.clear();
        for (const QPointF& pt : track)
            Add(float(pt.x()), float(pt.y()));
        CRecordingDC dc(240, 268);
        DrawTrackView(&dc, View());
        EXPECT_EQ(dc.Texts(), QStringList{QStringLiteral("0\u00B0")});
        EXPECT_EQ(dc.m_calls.size(), 4u);
        EXPECT_EQ(dc.Texts().value(0), QStringLiteral("0\u00B0"));
    }
}

TEST_F(TrackViewTest, SquareTrackFillsTheHeightBudget)
{
    AddSquare(52.0f, 5.0f);
    const QPen pen = m_dc.m_pen;
    Paint();
    // 254 - 28 = 226 pixels high against 240 wide: the height decides.
    const CRecordingDC::Call& scale = Text(QStringLiteral("Screen Y:55560 mtr 4 pnts"));
    EXPECT_EQ(At(scale), QPoint(240 / 2 - 45, 1));
    EXPECT_EQ(scale.textColor, CLR_BLACK);
    const std::vector<QPoint> expected = {QPoint(0, 28), QPoint(226, 28), QPoint(226, 254)};
    EXPECT_EQ(TrackLines(), expected);

    // Start marker: circle and diagonal cross; end marker: circle and upright cross.
    const std::vector<QRect> circles = Ellipses(5);
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[0], QRect(QPoint(-5, 249), QPoint(5, 259)));
    EXPECT_EQ(circles[1], QRect(QPoint(221, 249), QPoint(231, 259)));
    const auto lines = m_dc.CallsOf(QStringLiteral("LineTo"));
    std::vector<QPoint> redEnds;
    for (const CRecordingDC::Call& call : lines) {
        if (call.pen.color() == CLR_RED)
            redEnds.push_back(At(call));
    }
    const std::vector<QPoint> crosses = {QPoint(10, 264), QPoint(10, 244), QPoint(236, 254),
                                         QPoint(226, 264)};
    EXPECT_EQ(redEnds, crosses);
    EXPECT_EQ(m_dc.m_pen, pen);
}

TEST_F(TrackViewTest, WideTrackFillsTheWidth)
{
    Add(52.0f, 5.0f);
    Add(52.125f, 6.0f);
    Paint();
    EXPECT_NE(m_dc.FindText(QStringLiteral("Screen X:13890 mtr 2 pnts")), nullptr);
    EXPECT_EQ(TrackLines(), std::vector<QPoint>{QPoint(240, 254 - 30)});
}

TEST_F(TrackViewTest, SouthernAndWesternTracksDrawTheSame)
{
    AddSquare(52.0f, 5.0f);
    Paint();
    CRecordingDC dc(240, 268);
    m_points.clear();
    AddSquare(-33.5f, -70.5f);
    DrawTrackView(&dc, View());
    ASSERT_EQ(dc.m_calls.size(), m_dc.m_calls.size());
    for (size_t i = 0; i < dc.m_calls.size(); ++i) {
        EXPECT_EQ(dc.m_calls[i].strOp, m_dc.m_calls[i].strOp) << i;
        EXPECT_EQ(dc.m_calls[i].rc, m_dc.m_calls[i].rc) << i;
    }
}

TEST_F(TrackViewTest, LongTrackIsThinnedButEveryPlacemarkDrawn)
{
    // 2500 points: k = 2, so one ordinary point in three is drawn.
    for (int i = 0; i < 2500; ++i) {
        QString strName;
        if (i == 4 || i == 2000)
            strName = QStringLiteral("Mark %1").arg(i);
        Add(52.0f + float(i % 7) * 0.001f, 5.0f + float(i) * 0.0004f, strName);
    }
    Paint();
    const QString strScale = m_dc.Texts().value(1);
    EXPECT_TRUE(strScale.startsWith(QStringLiteral("Screen X:6")) &&
                strScale.endsWith(QStringLiteral(" mtr 2500 pnts")))
        << strScale.toStdString();
    const std::vector<QPoint> ends = TrackLines();
    // Points 3, 4 (placemark), 7, 10, ... 1999, 2000 (placemark), 2003, ... 2498.
    EXPECT_EQ(ends.size(), 1u + 1u + 665u + 1u + 166u);
    for (size_t i = 1; i < ends.size(); ++i)
        ASSERT_GE(ends[i].x(), ends[i - 1].x()) << "points in list order";

    const std::vector<QRect> marks = Ellipses(3);
    ASSERT_EQ(marks.size(), 2u);
    const QPoint mark4 = At(Text(QStringLiteral("Mark 4")));
    const QPoint mark2000 = At(Text(QStringLiteral("Mark 2000")));
    EXPECT_EQ(marks[0].center(), mark4);
    EXPECT_EQ(marks[1].center(), mark2000);
    EXPECT_EQ(ends[1], mark4) << "the line runs to the placemark";
    EXPECT_EQ(ends[667], mark2000);

    // The end marker sits on the last drawn point, not on the skipped last one.
    const std::vector<QRect> circles = Ellipses(5);
    ASSERT_EQ(circles.size(), 2u);
    EXPECT_EQ(circles[1].center(), ends.back());
}

TEST_F(TrackViewTest, ShortTrackDrawsEveryPoint)
{
    for (int i = 0; i < 999; ++i)
        Add(52.0f + float(i % 5) * 0.001f, 5.0f + float(i) * 0.001f);
    Paint();
    EXPECT_EQ(TrackLines().size(), 998u);
}

TEST_F(TrackViewTest, PaintsTrackAndMarkers)
{
    Add(52.1f, 5.1f);
    Add(52.3f, 5.2f, QStringLiteral("Hut"));
    Add(52.2f, 5.4f);
    m_tracker.m_nUpdateFlags = 0;
    Paint();
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_GT(Count(QRect(0, 240, 20, 14), red), 10) << "start marker";
    EXPECT_GT(Count(QRect(225, 160, 15, 30), red), 10) << "end marker at (240, 174)";
    EXPECT_GT(Ink(QRect(100, 30, 140, 200)), 150) << "track line and placemark name";
    EXPECT_GT(Count(QRect(60, 0, 180, 16), qRgb(0, 0, 0)), 30) << "scale text";
    const CRecordingDC::Call& course = Text(QStringLiteral("0\u00B0"));
    const QSize size = Extent(CDC::DefaultFont(), QStringLiteral("0\u00B0"));
    const QRect box(At(course), size);
    EXPECT_GT(Ink(box), 5);
    int nDarkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x)
            nDarkest = std::min(nDarkest, qGray(m_dc.Image().pixel(x, y)));
    }
    EXPECT_EQ(nDarkest, 128) << "stale course in grey over the opaque background";
}

}
