#include "display/ProfileView.h"

#include "display/ViewColours.h"
#include "display/Views.h"
#include "gps/TrackerSettings.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"
#include "track/TrackProfile.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr QColor CLR_PROFILE_FRAME(160, 160, 160);
constexpr QColor CLR_PROFILE_ALTITUDE(0, 128, 0);
constexpr QColor CLR_PROFILE_SPEED(0, 90, 200);
constexpr int PROFILE_PLOT_LEFT = 36;     // room for the labels at the left
constexpr int PROFILE_PLOT_RIGHT = 234;
constexpr int PROFILE_COLUMNS = PROFILE_PLOT_RIGHT - PROFILE_PLOT_LEFT;
constexpr int PROFILE_PLOT_HEIGHT = 100;
constexpr int PROFILE_LABEL_GAP = 3;
constexpr int PROFILE_MARK_RADIUS = 3;

// The two plots, top to bottom.
enum class EProfilePlot { Altitude, Speed };

struct ProfilePlot
{
    EProfilePlot plot;
    int nTitleTop;
    int nTop;
    QColor colour;
    const char* szLabelFormat;
};

constexpr ProfilePlot PROFILE_PLOTS[] = {
    {EProfilePlot::Altitude, 2, 16, CLR_PROFILE_ALTITUDE, "%.0f"},
    {EProfilePlot::Speed, 124, 138, CLR_PROFILE_SPEED, "%.1f"},
};
constexpr int PROFILE_AXIS_GAP = 2;   // the distance axis below the lower plot
constexpr int PROFILE_AXIS_TOP = PROFILE_PLOTS[1].nTop + PROFILE_PLOT_HEIGHT + PROFILE_AXIS_GAP;

// The values of the points drawn in one pixel column.
struct ProfileColumn
{
    float fFirst = 0;
    float fLast = 0;
    float fMin = 0;
    float fMax = 0;
    bool bUsed = false;
    bool bBreak = false;   // a segment begins here: not joined to the column before

    void Add(float fValue)
    {
        if (!std::isfinite(fValue))
            return;
        if (!bUsed)
            *this = {fValue, fValue, fValue, fValue, true, bBreak};
        fLast = fValue;
        fMin = std::min(fMin, fValue);
        fMax = std::max(fMax, fValue);
    }
};

// One plot's columns and the range of all its values.
struct ProfileSeries
{
    std::vector<ProfileColumn> columns = std::vector<ProfileColumn>(PROFILE_COLUMNS);
    float fMin = 0;
    float fMax = 0;
    bool bAny = false;

    void TakeRange()
    {
        for (const ProfileColumn& column : columns) {
            if (!column.bUsed)
                continue;
            fMin = bAny ? std::min(fMin, column.fMin) : column.fMin;
            fMax = bAny ? std::max(fMax, column.fMax) : column.fMax;
            bAny = true;
        }
    }

    // The pixel row of a value; a plot without a range draws at its middle.
    int Y(int nTop, float fValue) const
    {
        const int nBottom = nTop + PROFILE_PLOT_HEIGHT - 1;
        if (!(fMax > fMin))
            return nTop + PROFILE_PLOT_HEIGHT / 2;
        return nBottom - TruncToInt(double(fValue - fMin) * (PROFILE_PLOT_HEIGHT - 1) / double(fMax - fMin));
    }
};

float PlotValue(EProfilePlot plot, const CTrackProfile::Sample& sample, float fSpeedFactor)
{
    return plot == EProfilePlot::Altitude ? sample.fAltitude : sample.fSpeed * fSpeedFactor;
}

// Columns per metre; a track that never leaves its spot stays in the first.
float ColumnsPerMetre(double dTotalMeters)
{
    return dTotalMeters > 0 ? float(PROFILE_COLUMNS / dTotalMeters) : 0.0f;
}

int Column(float fMetres, float fColumnsPerMetre)
{
    return std::clamp(int(fMetres * fColumnsPerMetre), 0, PROFILE_COLUMNS - 1);
}

// The samples in order, column by column (the distance only grows): a
// column's values are gathered in locals and stored once it is done, so the
// loop over a long track runs in registers.
void GatherColumns(const CTrackProfile& profile, float fColumnsPerMetre, float fSpeedFactor,
                   ProfileSeries (&series)[std::size(PROFILE_PLOTS)])
{
    const std::vector<CTrackProfile::Sample>& samples = profile.Samples();
    int nColumn = Column(samples.front().fMetres, fColumnsPerMetre);
    ProfileColumn current[std::size(PROFILE_PLOTS)];
    for (size_t i = 0; i < samples.size(); ++i) {
        const CTrackProfile::Sample& sample = samples[i];
        const int nSampleColumn = Column(sample.fMetres, fColumnsPerMetre);
        const bool bNewColumn = nSampleColumn != nColumn;
        if (bNewColumn) {
            for (size_t p = 0; p < std::size(PROFILE_PLOTS); ++p)
                series[p].columns[size_t(nColumn)] = std::exchange(current[p], ProfileColumn());
            nColumn = nSampleColumn;
        }
        // Only a segment that begins a column can leave a gap before it.
        const bool bBreak = bNewColumn && profile.StartsSegment(i);
        for (size_t p = 0; p < std::size(PROFILE_PLOTS); ++p) {
            current[p].Add(PlotValue(PROFILE_PLOTS[p].plot, sample, fSpeedFactor));
            current[p].bBreak = current[p].bBreak || bBreak;
        }
    }
    for (size_t p = 0; p < std::size(PROFILE_PLOTS); ++p) {
        series[p].columns[size_t(nColumn)] = current[p];
        series[p].TakeRange();
    }
}

void DrawFrame(CDC* pDC, int nTop)
{
    const int nBottom = nTop + PROFILE_PLOT_HEIGHT;
    pDC->MoveTo(PROFILE_PLOT_LEFT - 1, nTop - 1);
    pDC->LineTo(PROFILE_PLOT_RIGHT, nTop - 1);
    pDC->LineTo(PROFILE_PLOT_RIGHT, nBottom);
    pDC->LineTo(PROFILE_PLOT_LEFT - 1, nBottom);
    pDC->LineTo(PROFILE_PLOT_LEFT - 1, nTop - 1);
}

// Each used column: from the last value of the column before to its first
// (unless a segment began between them), then over its whole range and back
// to its last.
void DrawSeries(CDC* pDC, const ProfileSeries& series, int nTop)
{
    bool bGap = true;   // nothing drawn yet, or a segment began since the last column drawn
    for (int c = 0; c < PROFILE_COLUMNS; ++c) {
        const ProfileColumn& column = series.columns[size_t(c)];
        bGap = bGap || column.bBreak;
        if (!column.bUsed)
            continue;
        const int x = PROFILE_PLOT_LEFT + c;
        if (std::exchange(bGap, false))
            pDC->MoveTo(x, series.Y(nTop, column.fFirst));
        else
            pDC->LineTo(x, series.Y(nTop, column.fFirst));
        pDC->LineTo(x, series.Y(nTop, column.fMin));
        pDC->LineTo(x, series.Y(nTop, column.fMax));
        pDC->LineTo(x, series.Y(nTop, column.fLast));
    }
}

void DrawRightAligned(CDC* pDC, int xRight, int y, const QString& strText)
{
    pDC->TextOut(xRight - pDC->GetTextExtent(strText).width(), y, strText);
}

void DrawPlot(CDC* pDC, const ProfilePlot& plot, const ProfileSeries& series, const QString& strTitle,
              int xLast, float fLast)
{
    const QPen oldPen = pDC->SelectPen(QPen(CLR_PROFILE_FRAME, 1));
    DrawFrame(pDC, plot.nTop);
    pDC->SelectPen(QPen(plot.colour, 1));
    DrawSeries(pDC, series, plot.nTop);
    if (std::isfinite(fLast)) {
        const int y = series.Y(plot.nTop, fLast);
        pDC->SelectPen(QPen(CLR_RED, 2));
        pDC->Ellipse(xLast - PROFILE_MARK_RADIUS, y - PROFILE_MARK_RADIUS, xLast + PROFILE_MARK_RADIUS + 1,
                     y + PROFILE_MARK_RADIUS + 1);
    }
    pDC->SelectPen(oldPen);

    pDC->TextOut(PROFILE_PLOT_LEFT, plot.nTitleTop, strTitle);
    if (!series.bAny)
        return;
    const int xLabel = PROFILE_PLOT_LEFT - PROFILE_LABEL_GAP;
    const int nTextHeight = pDC->GetTextExtent(QStringLiteral("0")).height();
    DrawRightAligned(pDC, xLabel, plot.nTop - 1, FormatText(plot.szLabelFormat, double(series.fMax)));
    DrawRightAligned(pDC, xLabel, plot.nTop + PROFILE_PLOT_HEIGHT - nTextHeight + 1,
                     FormatText(plot.szLabelFormat, double(series.fMin)));
}

}

void DrawProfileView(CDC* pDC, const CTrackProfile& profile, bool bKmh)
{
    pDC->FillSolidRect(QRect(0, 0, PROFILE_WIDTH, PROFILE_HEIGHT), CLR_WINDOW);
    const QColor oldColour = pDC->SetTextColor(CLR_BLACK);
    const std::vector<CTrackProfile::Sample>& samples = profile.Samples();
    if (samples.size() < 2) {
        const QString strText = QStringLiteral("No track");
        const QSize size = pDC->GetTextExtent(strText);
        pDC->TextOut((PROFILE_WIDTH - size.width()) / 2, (PROFILE_HEIGHT - size.height()) / 2, strText);
        pDC->SetTextColor(oldColour);
        return;
    }

    const float fSpeedFactor = bKmh ? float(UNIT_KMH_PER_KNOT) : 1.0f;
    const double dTotal = profile.TotalMeters();
    const float fColumnsPerMetre = ColumnsPerMetre(dTotal);
    ProfileSeries series[std::size(PROFILE_PLOTS)];
    GatherColumns(profile, fColumnsPerMetre, fSpeedFactor, series);

    const QString strTitles[] = {QStringLiteral("Altitude (m)"),
                                 bKmh ? QStringLiteral("Speed (km/h)") : QStringLiteral("Speed (knots)")};
    const CTrackProfile::Sample& last = samples.back();
    const int xLast = PROFILE_PLOT_LEFT + Column(last.fMetres, fColumnsPerMetre);
    for (size_t p = 0; p < std::size(PROFILE_PLOTS); ++p)
        DrawPlot(pDC, PROFILE_PLOTS[p], series[p], strTitles[p], xLast,
                 PlotValue(PROFILE_PLOTS[p].plot, last, fSpeedFactor));

    pDC->TextOut(PROFILE_PLOT_LEFT, PROFILE_AXIS_TOP, QStringLiteral("0"));
    DrawRightAligned(pDC, PROFILE_PLOT_RIGHT + 1, PROFILE_AXIS_TOP, FormatText("%.2f km", dTotal / 1000));
    pDC->SetTextColor(oldColour);
}

void DrawProfileView(CDC* pDC, const CViewContext& view)
{
    CTrackProfile fresh;
    CTrackProfile& profile = view.m_pProfile ? *view.m_pProfile : fresh;
    profile.Update(view.m_points);
    DrawProfileView(pDC, profile, view.m_settings.m_bKmh != 0);
}
