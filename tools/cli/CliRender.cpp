#include "tools/cli/CliCommands.h"

#include "display/CDisplayWnd.h"
#include "display/Views.h"
#include "gps/CGpsTracker.h"
#include "gps/TrackerSettings.h"
#include "map/CMapBitmap.h"
#include "map/MapCatalogue.h"
#include "map/OnlineMaps.h"
#include "map/Viewport.h"
#include "platform/InputFile.h"
#include "platform/TextFormat.h"
#include "platform/gui/CDC.h"
#include "tools/cli/CliArgs.h"
#include "tools/cli/CliText.h"
#include "track/Destination.h"
#include "track/TrackFormats.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int RENDER_MAX_SIDE = 4096;
constexpr double RENDER_MAX_ZOOM = 100.0;
constexpr double RENDER_MIN_SCALE = 1.0;
constexpr double RENDER_MAX_SCALE = 8.0;
constexpr size_t RENDER_NMEA_CHUNK = 64 * 1024;

const char RENDER_USAGE[] =
    "usage: veltrip-cli render VIEW [--nmea FILE] [--track FILE] [--map FILE.bmp | --dir DIR] [--zoom Z]\n"
    "                          [--kmh] [--goto LAT,LON] [--map-state TEXT] [--size WxH] [--scale F]\n"
    "                          --png OUT.png [--texts]\n";

std::string RenderHelp()
{
    // The display window's views in the order a tap shows them, then those
    // with a window of their own.
    std::string strViews = ViewRow(EViewType::GpsData).szRenderName;
    for (EViewType eView = NextView(EViewType::GpsData); eView != EViewType::GpsData; eView = NextView(eView))
        strViews += std::string(", ") + ViewRow(eView).szRenderName;
    for (const CViewRow& view : ViewTable()) {
        if (view.ePlace == EViewPlace::OwnWindow)
            strViews += std::string(", ") + view.szRenderName;
    }
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
           "                    the position as a tick does; without it the map view\n"
           "                    shows the catalogue's map for the position (the most\n"
           "                    detailed map in the storage card's GPS folder)\n"
           "  --dir DIR         the catalogue of the maps in DIR instead of the GPS\n"
           "                    folder's (sheets made by map-online, for example)\n"
           "  --zoom Z          the map's zoom, bitmap pixels per screen pixel (0.5 to 100)\n"
           "  --kmh             the compass and the profile show km/h (the \"Kmh\" setting)\n"
           "  --goto LAT,LON    the destination of Tools, \"Go to...\", in any form the\n"
           "                    dialog takes (\"52.0907,5.1214\", \"N 52 05.443 E 5 07.284\")\n"
           "  --map-state TEXT  the online source's state in the map view's top right\n"
           "                    corner (\"offline\"), as the window shows it over an\n"
           "                    online sheet while the source cannot be used\n"
           "  --size WxH        the client size in pixels, default 240x268\n"
           "  --scale F         the view drawn F times larger (1 to 8), as View, \"Zoom\"\n"
           "                    draws it: the PNG is F times the size (480x536 at 2),\n"
           "                    texts in fonts of the scaled size, the map from its\n"
           "                    own pixels\n"
           "  --png OUT.png     the picture to write\n"
           "  --texts           then print one JSON object a line for every text\n"
           "                    drawn, in drawing order: text, x, y (top-left corner),\n"
           "                    width, height (measured), inkWidth (the width without\n"
           "                    trailing spaces) and color (\"#rrggbb\"); positions and\n"
           "                    sizes in the PNG's pixels\n"
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

// Passes everything on to the painting context and notes each text drawn,
// where it lands in the picture.
class CTextLogDC : public CDC
{
public:
    explicit CTextLogDC(CPaintDC& dc)
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
    void StretchBltSmooth(const QRect& dstRect, const QImage& image, const QRect& srcRect,
                          CImageHalvings& halvings) override
    {
        m_dc.StretchBltSmooth(dstRect, image, srcRect, halvings);
    }

    void TextOut(int x, int y, const QString& strText) override
    {
        qsizetype nInk = strText.size();
        while (nInk > 0 && strText[nInk - 1] == u' ')
            --nInk;
        m_texts.push_back({strText, m_dc.DevicePoint(x, y), m_dc.DeviceTextExtent(strText),
                           m_dc.DeviceTextExtent(strText.left(nInk)).width(), m_color});
        m_dc.TextOut(x, y, strText);
    }

    std::vector<CTextRecord> m_texts;

private:
    CPaintDC& m_dc;
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

// The shortest text that reads back as dValue, with a decimal point.
std::string NumberText(double dValue)
{
    char text[32];
    const auto result = std::to_chars(std::begin(text), std::end(text), dValue);
    return std::string(text, result.ptr);
}

// A number from dMin to dMax, with a decimal point whatever the locale.
CliOption NumberOption(const char* szName, const char* szValueName, double dMin, double dMax,
                       std::optional<double>& dTarget)
{
    return {szName, szValueName, [=, &dTarget](const char* szValue) {
                const char* pEnd = szValue + std::strlen(szValue);
                double d = 0;
                const auto result = std::from_chars(szValue, pEnd, d);
                if (result.ec != std::errc() || result.ptr != pEnd || !(d >= dMin) || d > dMax)
                    return std::string(szName) + " takes a number from " + NumberText(dMin) + " to "
                           + NumberText(dMax);
                dTarget = d;
                return std::string();
            }};
}

CliOption GoToOption(std::optional<CDestination>& destination)
{
    return {"--goto", "LAT,LON", [&destination](const char* szValue) {
                const CCoordinatesParse parse = ParseCoordinates(QString::fromLocal8Bit(szValue));
                if (!parse.m_point)
                    return "--goto: " + EscapedText(parse.m_strProblem);
                destination = CDestination{CoordinatesText(*parse.m_point), *parse.m_point};
                return std::string();
            }};
}

// One tick over the whole capture, read in pieces: only a regular file is
// taken (a FIFO would hang, a device feed without end), and a capture of any
// length needs one piece of memory.
bool FeedNmea(const char* szFile, CGpsTracker& tracker, int nUtcCorrection)
{
    CInputFile file;
    if (file.Open(QFile::decodeName(szFile)) != CInputFile::EOpen::Ok) {
        CliCannotRead("render", szFile, file.Reason());
        return false;
    }
    tracker.BeginTick();
    const std::unique_ptr<char[]> buffer(new char[RENDER_NMEA_CHUNK]);
    ptrdiff_t nRead;
    while ((nRead = file.Read(buffer.get(), RENDER_NMEA_CHUNK)) > 0)
        tracker.AssembleBytes(buffer.get(), size_t(nRead), nUtcCorrection);
    if (nRead < 0) {
        CliCannotRead("render", szFile, SystemErrorText(errno));
        return false;
    }
    return true;
}

// What the command line asks for.
struct CRenderOptions
{
    const char* szNmea = nullptr;
    const char* szTrack = nullptr;
    const char* szMap = nullptr;
    const char* szDir = nullptr;
    const char* szPng = nullptr;
    const char* szMapState = nullptr;
    std::optional<double> dZoom;
    std::optional<CDestination> destination;
    bool bKmh = false;
    bool bTexts = false;
    QSize size = QSize(ZOOM_LAYOUT_WIDTH, ZOOM_LAYOUT_HEIGHT);
    std::optional<double> dScale;
};

// The program's own messages name the problem; the last line says which
// input it was.
bool LoadTrack(const char* szTrack, int nUtcCorrection, CTrackPointList& points)
{
    const QString strTrack = QFile::decodeName(szTrack);
    if (CliShowMessage(ReadTrackFile(strTrack, nUtcCorrection, points)))
        return true;
    std::fprintf(stderr, "veltrip-cli render: cannot use the track %s\n", EscapedText(szTrack).c_str());
    return false;
}

// The map given, or else the one of the catalogue (of DIR or the GPS
// folder) that holds the position, as Load map and the follow step take it.
CMapBitmap* ChooseMap(const CRenderOptions& options, CMapList& maps, const CGpsTracker& tracker)
{
    if (!options.szMap) {
        if (options.szDir)
            BuildMapCatalogue(maps, QFile::decodeName(options.szDir));
        else
            BuildMapCatalogue(maps);
        CMapBitmap* pMap = FindMapForPosition(maps, tracker);
        if (!pMap)
            std::fprintf(stderr, "veltrip-cli render: no map in %s holds the position\n",
                         options.szDir ? EscapedText(options.szDir).c_str() : "the GPS folder");
        return pMap;
    }
    maps.push_back(std::make_unique<CMapBitmap>());
    CMapBitmap* pMap = maps.back().get();
    pMap->m_path = QFile::decodeName(options.szMap);
    pMap->ParseCalibration();
    pMap->m_strAttribution = SheetAttribution(pMap->m_path);
    return pMap;
}

// Makes the map current, sized and centred on the position as a tick does.
bool LoadMap(const CRenderOptions& options, CMapList& maps, const CGpsTracker& tracker, CDisplayWnd& wnd)
{
    CMapBitmap* pMap = ChooseMap(options, maps, tracker);
    if (!pMap)
        return false;
    if (!CliShowMessage(pMap->LoadMapBitmap())) {
        std::fprintf(stderr, "veltrip-cli render: cannot use the map %s\n", EscapedText(pMap->m_path).c_str());
        return false;
    }
    if (options.dZoom)
        pMap->m_zoom = *options.dZoom;
    pMap->ComputeViewExtent(MapDrawingArea(wnd.GetClientRect()));
    wnd.m_pMap = pMap;
    if (tracker.HasValidFix())
        CliShowMessage(wnd.FollowPosition());
    return true;
}

// Paints the view as its window does into a fresh white picture; returns the
// texts drawn.
std::vector<CTextRecord> PaintView(const CViewRow& view, CDisplayWnd& wnd, QImage& image)
{
    image.fill(Qt::white);
    QPainter painter(&image);
    const bool bOwnWindow = view.ePlace == EViewPlace::OwnWindow;
    if (!bOwnWindow)
        wnd.Erase(painter);
    CPaintDC dc(painter, wnd.Placement().dScale);
    CTextLogDC log(dc);
    if (bOwnWindow)
        view.pfnPaint(&log, wnd.ViewContext(wnd.GetClientRect()));
    else
        wnd.Paint(&log);
    dc.Flush();
    return log.m_texts;
}

int RenderUsage(const std::string& strProblem)
{
    std::fprintf(stderr, "veltrip-cli render: %s\n%s", strProblem.c_str(), RENDER_USAGE);
    return CLI_USAGE;
}

}

int CliRender(int argc, char** argv)
{
    CRenderOptions o;
    const CliSyntax syntax{"render", RENDER_USAGE, RenderHelp(),
                           {CliText("--nmea", "FILE", o.szNmea), CliText("--track", "FILE", o.szTrack),
                            CliText("--map", "FILE.bmp", o.szMap), CliText("--dir", "DIR", o.szDir),
                            NumberOption("--zoom", "Z", VIEWPORT_MIN_ZOOM, RENDER_MAX_ZOOM, o.dZoom),
                            CliFlag("--kmh", o.bKmh), GoToOption(o.destination),
                            CliText("--map-state", "TEXT", o.szMapState), SizeOption(o.size),
                            NumberOption("--scale", "F", RENDER_MIN_SCALE, RENDER_MAX_SCALE, o.dScale),
                            CliText("--png", "OUT.png", o.szPng), CliFlag("--texts", o.bTexts)},
                           {"VIEW"}};
    std::vector<const char*> args;
    if (const std::optional<int> nExit = ParseCliArgs(argc, argv, syntax, args))
        return *nExit;
    const CViewRow* pView = FindViewByName(args[0]);
    if (!pView)
        return RenderUsage(std::string("unknown view ") + args[0]);
    if (!o.szPng)
        return RenderUsage("no --png OUT.png given");
    if (o.szMap && o.szDir)
        return RenderUsage("--map and --dir both choose the map; give one");
    const double dScale = o.dScale.value_or(1.0);
    const QSize szPicture = (QSizeF(o.size) * dScale).toSize();
    if (szPicture.width() > RENDER_MAX_SIDE || szPicture.height() > RENDER_MAX_SIDE)
        return RenderUsage("--size times --scale comes to more than " + std::to_string(RENDER_MAX_SIDE)
                           + " pixels a side");

    // Painting needs fonts and widgets but no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int nQtArgc = 1;
    QApplication app(nQtArgc, argv);

    CTrackerSettings settings = LoadTrackerSettings();
    settings.m_nViewType = int32_t(pView->eView);
    if (o.bKmh)
        settings.m_bKmh = 1;
    if (o.destination)
        SetDestination(settings, o.destination);
    const CViewFonts fonts = CreateViewFonts();
    CGpsTracker tracker;
    CTrackPointList points;
    CMapList maps;
    CDisplayWnd wnd({tracker, points, maps, settings, fonts});
    wnd.SetZoom(dScale);
    wnd.resize(szPicture);
    if (o.szMapState)
        wnd.m_strMapState = QString::fromLocal8Bit(o.szMapState);
    if ((o.szNmea && !FeedNmea(o.szNmea, tracker, settings.m_nUtcCorrection))
        || (o.szTrack && !LoadTrack(o.szTrack, settings.m_nUtcCorrection, points))
        || ((o.szMap || o.szDir || pView->bNeedsMap) && !LoadMap(o, maps, tracker, wnd)))
        return CLI_FAILED;

    QImage image(szPicture, QImage::Format_RGB32);
    const std::vector<CTextRecord> texts = PaintView(*pView, wnd, image);
    if (!image.save(QFile::decodeName(o.szPng), "PNG")) {
        std::fprintf(stderr, "veltrip-cli render: cannot write %s\n", EscapedText(o.szPng).c_str());
        return CLI_FAILED;
    }
    if (o.bTexts)
        PrintTexts(texts);
    return CLI_OK;
}
