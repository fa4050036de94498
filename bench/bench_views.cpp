// Painting the track and map views with long tracks, as the timer repaints
// them every second.
#include "display/CDisplayWnd.h"
#include "display/MapView.h"
#include "display/TrackView.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "display/ProfileView.h"
#include "map/CMapBitmap.h"
#include "map/Viewport.h"
#include "platform/gui/CDC.h"
#include "track/TrackProfile.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

constexpr int BENCH_WIDTH = 240;
constexpr int BENCH_HEIGHT = 268;
constexpr int BENCH_MAP_SIZE = 8000;

// What the display window paints from: the fix, the track, the settings and
// the faces, for the whole run as the window has them.
struct CBenchRun
{
    CTrackerSettings m_settings;
    CViewFonts m_fonts = CreateViewFonts();
    CGpsTracker m_tracker;
    CTrackPointList m_points;
    CMapList m_maps;

    CDisplaySources Sources() { return {m_tracker, m_points, m_maps, m_settings, m_fonts}; }
};

// Made in main, once the application is there for the faces.
CBenchRun* g_pRun = nullptr;

CBenchRun& Run()
{
    return *g_pRun;
}

// A wandering track of nPoints fixes inside the box from (5.0 E, 52.0 N),
// nSpan degrees wide, with a placemark every 5000 points.
void MakeTrack(size_t nPoints, double dSpan)
{
    CTrackPointList& points = Run().m_points;
    points.clear();
    double dAngle = 0.3;
    double dLon = 5.0 + dSpan / 2;
    double dLat = 52.0 + dSpan / 2;
    const double dStep = dSpan / 400;
    for (size_t i = 0; i < nPoints; ++i) {
        dAngle += std::sin(double(i) * 0.001) * 0.2;
        dLon = std::clamp(dLon + dStep * std::sin(dAngle), 5.0, 5.0 + dSpan);
        dLat = std::clamp(dLat + dStep * std::cos(dAngle), 52.0, 52.0 + dSpan);
        CTrackPoint point;
        point.m_fLongitude = float(dLon);
        point.m_fLatitude = float(dLat);
        if (i % 5000 == 4999)
            point.m_strName = QStringLiteral("Mark %1").arg(i);
        points.push_back(point);
    }
}

// The window's layout, View, "Zoom" times larger, in a picture of that size.
QImage ZoomedPicture(CDisplayWnd& wnd, double dZoom)
{
    wnd.SetZoom(dZoom);
    const QSize size(int(std::lround(BENCH_WIDTH * dZoom)), int(std::lround(BENCH_HEIGHT * dZoom)));
    wnd.resize(size);
    return QImage(size, QImage::Format_RGB32);
}

void PaintOnce(const CDisplayWnd& wnd, QImage& image, ViewPainter pfnView)
{
    QPainter painter(&image);
    CPaintDC dc(painter, wnd.Placement().dScale);
    pfnView(&dc, wnd.ViewContext(wnd.GetClientRect()));
}

// The second argument is View, "Zoom" in tenths.
void BM_TrackView(benchmark::State& state)
{
    MakeTrack(size_t(state.range(0)), 0.2);
    CDisplayWnd wnd(Run().Sources());
    QImage image = ZoomedPicture(wnd, double(state.range(1)) / 10);
    for (auto _ : state)
        PaintOnce(wnd, image, DrawTrackView);
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
    Run().m_points.clear();
}
BENCHMARK(BM_TrackView)
    ->ArgsProduct({{1000000}, {10, 20, 30}})
    ->ArgNames({"points", "zoom10"})
    ->Unit(benchmark::kMillisecond);

// The profile window's paint at a tick: the samples are kept, so only the
// columns are gathered and drawn.
void BM_ProfileView(benchmark::State& state)
{
    MakeTrack(size_t(state.range(0)), 0.2);
    for (size_t i = 0; i < Run().m_points.size(); ++i) {
        Run().m_points[i].m_fAltitude = float(100 + 50 * std::sin(double(i) * 1e-4));
        Run().m_points[i].m_fSpeed = float(i % 40);
    }
    CTrackProfile profile;
    profile.Update(Run().m_points);
    QImage image(PROFILE_WIDTH, PROFILE_HEIGHT, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        CPaintDC dc(painter);
        DrawProfileView(&dc, profile, true);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
    Run().m_points.clear();
}
BENCHMARK(BM_ProfileView)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The first paint after File Open takes the whole track once.
void BM_ProfileSamples(benchmark::State& state)
{
    MakeTrack(size_t(state.range(0)), 0.2);
    for (auto _ : state) {
        CTrackProfile profile;
        profile.Update(Run().m_points);
        benchmark::DoNotOptimize(profile.TotalMeters());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
    Run().m_points.clear();
}
BENCHMARK(BM_ProfileSamples)->Arg(1000000)->Unit(benchmark::kMillisecond);

// An 8000 x 8000 map of 0.2 degrees square in the bitmap depths the loader
// produces; the track wanders over the whole map and the view is centred on
// the last fix. The third argument is View, "Zoom" in tenths.
void BM_MapView(benchmark::State& state)
{
    const double dZoom = double(state.range(0)) / 10;
    const auto format = QImage::Format(state.range(1));
    static std::unique_ptr<CMapBitmap> s_pMap;
    if (!s_pMap || s_pMap->m_bitmap.format() != format) {
        s_pMap.reset();
        s_pMap = std::make_unique<CMapBitmap>();
        QImage bitmap(BENCH_MAP_SIZE, BENCH_MAP_SIZE, format);
        if (format == QImage::Format_Indexed8) {
            QList<QRgb> colours;
            for (int i = 0; i < 256; ++i)
                colours.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
            bitmap.setColorTable(colours);
        }
        for (int y = 0; y < BENCH_MAP_SIZE; ++y) {
            uchar* pLine = bitmap.scanLine(y);
            for (qsizetype x = 0; x < bitmap.bytesPerLine(); ++x)
                pLine[x] = uchar((x / 3 + y / 5) & 0xFF);
        }
        s_pMap->m_bitmap = std::move(bitmap);
        s_pMap->m_hDib = &s_pMap->m_bitmap;
        s_pMap->m_width = BENCH_MAP_SIZE;
        s_pMap->m_height = BENCH_MAP_SIZE;
        s_pMap->m_lonMin = 5.0;
        s_pMap->m_lonMax = 5.2;
        s_pMap->m_latMin = 52.0;
        s_pMap->m_latMax = 52.2;
        s_pMap->m_lonPerPixel = 0.2 / BENCH_MAP_SIZE;
        s_pMap->m_latPerPixel = 0.2 / BENCH_MAP_SIZE;
    }
    CBenchRun& run = Run();
    if (run.m_points.size() != 100000)
        MakeTrack(100000, 0.2);

    CDisplayWnd wnd(run.Sources());
    QImage image = ZoomedPicture(wnd, double(state.range(2)) / 10);
    wnd.m_pMap = s_pMap.get();
    s_pMap->m_zoom = dZoom;
    s_pMap->ComputeViewExtent(MapDrawingArea(wnd.GetClientRect()));
    const CTrackPoint& last = run.m_points.back();
    run.m_tracker.m_fLongitude = last.m_fLongitude;
    run.m_tracker.m_fLatitude = last.m_fLatitude;
    CentreOnPosition(*s_pMap, last.m_fLongitude, last.m_fLatitude);

    const QRect rcArea = MapDrawingArea(wnd.GetClientRect());
    int64_t nInside = 0;
    for (const CTrackPoint& point : run.m_points)
        nInside += rcArea.adjusted(0, 0, 1, 1).contains(
            s_pMap->ProjectToScreen(point.m_fLongitude, point.m_fLatitude));

    for (auto _ : state)
        PaintOnce(wnd, image, DrawMapView);
    state.counters["inside"] = double(nInside);
}
BENCHMARK(BM_MapView)
    ->ArgsProduct({{10, 30}, {QImage::Format_BGR888, QImage::Format_Indexed8, QImage::Format_RGB32}, {10, 30}})
    ->ArgNames({"zoom10", "format", "viewzoom10"})
    ->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    CBenchRun run;
    g_pRun = &run;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
