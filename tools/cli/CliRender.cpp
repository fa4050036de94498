#include "tools/cli/CliCommands.h"

#include "app/CTrackerApp.h"
#include "display/CDisplayWnd.h"
#include "display/ProfileView.h"
#include "display/SkyView.h"
#include "map/CMapBitmap.h"
#include "map/Viewport.h"
#include "platform/gui/CDC.h"
#include "track/GpdFile.h"
#include "track/TrackProfile.h"
#include "tools/cli/CliArgs.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

void PaintSky(CDC* pDC)
{
    DrawSkyView(pDC, &theApp.m_tracker);
}

void PaintProfile(CDC* pDC)
{
    CTrackProfile profile;
    profile.Update(theApp.m_trackPoints);
    DrawProfileView(pDC, profile, theApp.m_bKmh != 0);
}

// The views by name, with the view type the display window paints them for,
// or the painter of a window of their own.
struct RenderView
{
    const char* szName;
    int32_t nViewType;
    void (*pfnOwnWindow)(CDC* pDC);
};

// The view type while a window of its own is painted.
constexpr int32_t RENDER_OWN_WINDOW = 0;

const RenderView RENDER_VIEWS[] = {
    {"data", 1, nullptr},
    {"compass", 2, nullptr},
    {"track", 3, nullptr},
    {"status", 4, nullptr},
    {"map", VIEWPORT_MAP_VIEW, nullptr},
    {"sky", RENDER_OWN_WINDOW, PaintSky},
    {"profile", RENDER_OWN_WINDOW, PaintProfile},
};

constexpr int RENDER_MAX_SIDE = 4096;
constexpr double RENDER_MAX_ZOOM = 100.0;

const char RENDER_USAGE[] =
    "usage: veltrip-cli render VIEW [--nmea FILE] [--track FILE] [--map FILE.bmp] [--zoom Z]\n"
    "                          [--kmh] [--size WxH] --png OUT.png [--texts]\n";

std::string RenderHelp()
{
    std::string strViews;
    for (const RenderView& view : RENDER_VIEWS)
        strViews += std::string(strViews.empty() ? "" : ", ") + view.szName;
    return "\n"
           "Paints one view as the display window does (background, date line, the\n"
           "view, status line) into a PNG, without a display. VIEW is one of:\n"
           "  " + strViews + "\n"
           "sky is the Satellites window's sky plot, profile the Profile window's\n"
           "altitude and speed over the track, each on its own.\n"
           "The settings are the stored ones (as veltrip reads them at start).\n"
           "\n"
           "options:\n"
           "  --nmea FILE       its bytes go through the sentence assembly and decoder\n"
           "                    as one tick, so every value they carry is fresh;\n"
           "                    without it the tracker record is as at start\n"
           "  --track FILE      read as File Open reads it (GPD, or GPX or KML by the\n"
           "                    extension), into the track\n"
           "  --map FILE.bmp    the current map (calibrated by its name), centred on\n"
           "                    the position as a tick does; needed by the map view\n"
           "  --zoom Z          the map's zoom, bitmap pixels per screen pixel (0.5 to 100)\n"
           "  --kmh             the compass and the profile show km/h (the \"Kmh\" setting)\n"
           "  --size WxH        the client size in pixels, default 240x268\n"
           "  --png OUT.png     the picture to write\n"
           "  --texts           then print one JSON object a line for every text\n"
           "                    drawn, in drawing order: text, x, y (top-left corner),\n"
           "                    width, height (measured), inkWidth (the width without\n"
           "                    trailing spaces) and color (\"#rrggbb\")\n"
           "  --help            show this text\n"
           "\n"
           "exit codes: 0 done, 1 an input cannot be read or the PNG not written,\n"
           "2 bad arguments\n";
}

struct CTextRecord
{
    QString strText;
    QPoint pt;
    QSize size;
    int nInkWidth = 0;
    QColor color;
};

// Passes everything on to the painting context and notes each text drawn.
class CTextLogDC : public CDC
{
public:
    explicit CTextLogDC(CDC& dc)
        : m_dc(dc)
    {
    }

    QPen SelectPen(const QPen& pen) override { return m_dc.SelectPen(pen); }
    QFont SelectFont(const QFont& font) override { return m_dc.SelectFont(font); }
    QColor SetTextColor(const QColor& color) override
    {
        m_color = color;
        return m_dc.SetTextColor(color);
    }
    QColor SetBkColor(const QColor& color) override { return m_dc.SetBkColor(color); }
    void MoveTo(int x, int y) override { m_dc.MoveTo(x, y); }
    void LineTo(int x, int y) override { m_dc.LineTo(x, y); }
    void Ellipse(int left, int top, int right, int bottom) override { m_dc.Ellipse(left, top, right, bottom); }
    void FillSolidRect(const QRect& rc, const QColor& color) override { m_dc.FillSolidRect(rc, color); }
    QSize GetTextExtent(const QString& strText) override { return m_dc.GetTextExtent(strText); }
    void StretchBlt(const QRect& dstRect, const QImage& image, const QRect& srcRect) override
    {
        m_dc.StretchBlt(dstRect, image, srcRect);
    }

    void TextOut(int x, int y, const QString& strText) override
    {
        qsizetype nInk = strText.size();
        while (nInk > 0 && strText[nInk - 1] == u' ')
            --nInk;
        m_texts.push_back({strText, QPoint(x, y), m_dc.GetTextExtent(strText),
                           m_dc.GetTextExtent(strText.left(nInk)).width(), m_color});
        m_dc.TextOut(x, y, strText);
    }

    std::vector<CTextRecord> m_texts;

private:
    CDC& m_dc;
    QColor m_color = Qt::black;   // a fresh context's text colour
};

std::string JsonString(const QString& strText)
{
    std::string out = "\"";
    for (const QChar ch : strText) {
        const char16_t c = ch.unicode();
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void PrintTexts(const std::vector<CTextRecord>& texts)
{
    for (const CTextRecord& t : texts) {
        std::printf("{\"text\":%s,\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d,\"inkWidth\":%d,\"color\":\"%s\"}\n",
                    JsonString(t.strText).c_str(), t.pt.x(), t.pt.y(), t.size.width(), t.size.height(),
                    t.nInkWidth, qPrintable(t.color.name()));
    }
}

CliOption SizeOption(QSize& size)
{
    return {"--size", "WxH", [&size](const char* szValue) {
                const char* pEnd = szValue + std::strlen(szValue);
                int nWidth = 0;
                int nHeight = 0;
                const auto w = std::from_chars(szValue, pEnd, nWidth);
                const bool bOk = w.ec == std::errc() && w.ptr < pEnd && *w.ptr == 'x'
                                 && std::from_chars(w.ptr + 1, pEnd, nHeight).ptr == pEnd
                                 && nWidth >= 1 && nWidth <= RENDER_MAX_SIDE && nHeight >= 1
                                 && nHeight <= RENDER_MAX_SIDE;
                if (!bOk)
                    return "--size takes WIDTHxHEIGHT, each from 1 to " + std::to_string(RENDER_MAX_SIDE);
                size = QSize(nWidth, nHeight);
                return std::string();
            }};
}

CliOption ZoomOption(std::optional<double>& dZoom)
{
    return {"--zoom", "Z", [&dZoom](const char* szValue) {
                // from_chars reads a decimal point whatever the locale.
                const char* pEnd = szValue + std::strlen(szValue);
                double d = 0;
                const auto result = std::from_chars(szValue, pEnd, d);
                if (result.ec != std::errc() || result.ptr != pEnd || !(d >= VIEWPORT_MIN_ZOOM)
                    || d > RENDER_MAX_ZOOM)
                    return std::string("--zoom takes a number from 0.5 to 100");
                dZoom = d;
                return std::string();
            }};
}

bool FeedNmea(const char* szFile)
{
    QFile file(QFile::decodeName(szFile));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "veltrip-cli render: cannot read %s: %s\n", szFile,
                     qPrintable(file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "veltrip-cli render: cannot read %s: %s\n", szFile,
                     qPrintable(file.errorString()));
        return false;
    }
    theApp.m_tracker.BeginTick();
    theApp.m_tracker.AssembleBytes(bytes.constData(), size_t(bytes.size()));
    return true;
}

}

int CliRender(int argc, char** argv)
{
    const char* szNmea = nullptr;
    const char* szTrack = nullptr;
    const char* szMap = nullptr;
    const char* szPng = nullptr;
    std::optional<double> dZoom;
    bool bKmh = false;
    bool bTexts = false;
    QSize size(240, 268);
    const CliSyntax syntax{"render", RENDER_USAGE, RenderHelp(),
                           {CliText("--nmea", "FILE", szNmea), CliText("--track", "FILE", szTrack),
                            CliText("--map", "FILE.bmp", szMap), ZoomOption(dZoom), CliFlag("--kmh", bKmh),
                            SizeOption(size), CliText("--png", "OUT.png", szPng), CliFlag("--texts", bTexts)},
                           {"VIEW"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    const RenderView* pView = nullptr;
    for (const RenderView& view : RENDER_VIEWS) {
        if (!std::strcmp(args[0], view.szName))
            pView = &view;
    }
    const auto usage = [](const std::string& strProblem) {
        std::fprintf(stderr, "veltrip-cli render: %s\n%s", strProblem.c_str(), RENDER_USAGE);
        return CLI_USAGE;
    };
    if (!pView)
        return usage(std::string("unknown view ") + args[0]);
    if (!szPng)
        return usage("no --png OUT.png given");
    if (pView->nViewType == VIEWPORT_MAP_VIEW && !szMap)
        return usage("the map view needs --map FILE.bmp");

    // Painting needs fonts and widgets but no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int nQtArgc = 1;
    QApplication app(nQtArgc, argv);

    theApp.LoadSettings();
    theApp.CreateFonts();
    theApp.m_nViewType = pView->nViewType;
    if (bKmh)
        theApp.m_bKmh = 1;

    CDisplayWnd wnd;
    wnd.resize(size);

    if (szNmea && !FeedNmea(szNmea))
        return CLI_FAILED;
    // The program's own messages name the problem; the last line says which
    // input it was.
    if (szTrack && !OpenTrackFile(QFile::decodeName(szTrack))) {
        std::fprintf(stderr, "veltrip-cli render: cannot use the track %s\n", szTrack);
        return CLI_FAILED;
    }
    if (szMap) {
        theApp.m_mapList.push_back(std::make_unique<CMapBitmap>());
        CMapBitmap* pMap = theApp.m_mapList.back().get();
        pMap->m_path = QFile::decodeName(szMap);
        pMap->ParseCalibration();
        if (!pMap->LoadMapBitmap()) {
            std::fprintf(stderr, "veltrip-cli render: cannot use the map %s\n", szMap);
            return CLI_FAILED;
        }
        if (dZoom)
            pMap->m_zoom = *dZoom;
        const QRect rcArea = MapDrawingArea(wnd.GetClientRect());
        pMap->ComputeViewExtent(rcArea);
        wnd.m_pMap = pMap;
        constexpr uint32_t UPD_POSITION = UPD_LATITUDE | UPD_LONGITUDE;
        if ((theApp.m_tracker.m_nUpdateFlags & UPD_POSITION) == UPD_POSITION)
            wnd.FollowPosition();
    }

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    if (!pView->pfnOwnWindow)
        wnd.Erase(painter);
    CPaintDC dc(painter);
    CTextLogDC log(dc);
    if (pView->pfnOwnWindow)
        pView->pfnOwnWindow(&log);
    else
        wnd.Paint(&log);
    dc.Flush();
    painter.end();

    if (!image.save(QFile::decodeName(szPng), "PNG")) {
        std::fprintf(stderr, "veltrip-cli render: cannot write %s\n", szPng);
        return CLI_FAILED;
    }
    if (bTexts)
        PrintTexts(log.m_texts);
    return CLI_OK;
}
