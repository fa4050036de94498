// veltrip-cli render: the views as the display window paints them, checked
// through the picture and the list of texts it prints.
#include "display/SkyView.h"
#include "display/Views.h"
#include "platform/gui/CDC.h"
#include "tests/common/TestSupport.h"
#include "track/GpdFile.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <locale.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int RENDER_W = 240;
constexpr int RENDER_H = 268;
// The small dial of the GPS data view: centre x 45, radius 41, pen 4 wide.
constexpr int DIAL_RIGHT_EDGE = 45 + 41 + 2;

// 52°05'24.7''N 5°07'22.5''E, course 159, 12.0 knots, altitude 14.5, HDOP
// 1.3, six satellites used, mean signal 37, twelve satellites in view with
// three-digit azimuths.
const char NMEA_NORTH_EAST[] =
    "$GPRMC,123519,A,5205.4117,N,00507.3750,E,12.0,159.0,081226,,,A\r\n"
    "$GPGGA,123519,5205.4117,N,00507.3750,E,1,06,1.3,14.5,M,47.0,M,,\r\n"
    "$GPGSA,A,3,04,05,09,12,24,26,,,,,,,2.5,1.3,2.1\r\n"
    "$GPGSV,3,1,12,04,45,270,37,05,12,101,37,09,33,145,37,12,61,200,37\r\n"
    "$GPGSV,3,2,12,24,10,315,37,26,05,359,37,27,15,123,00,28,20,234,00\r\n"
    "$GPGSV,3,3,12,29,25,111,00,30,30,222,00,31,35,333,00,32,40,100,00\r\n";
// 33°52'04.1''S 151°12'34.0''W.
const char NMEA_SOUTH_WEST[] =
    "$GPRMC,235959,A,3352.0683,S,15112.5667,W,12.0,159.0,081226,,,A\r\n"
    "$GPGGA,235959,3352.0683,S,15112.5667,W,1,06,1.3,14.5,M,47.0,M,,\r\n";
// 46.3 km/h (25.0 knots).
const char NMEA_FAST[] =
    "$GPRMC,123519,A,5205.4117,N,00507.3750,E,25.0,159.0,081226,,,A\r\n"
    "$GPGGA,123519,5205.4117,N,00507.3750,E,1,06,1.3,14.5,M,47.0,M,,\r\n";
// A receiver still searching: time and date, no position.
const char NMEA_NO_FIX[] =
    "$GPRMC,123519,V,,,,,,,081226,,,N\r\n"
    "$GPGGA,123519,,,,,0,00,,,M,,M,,\r\n";
// A map of 5°06'-5°09' E, 52°04'-52°07' N holding the fix above.
const char MAP_NAME[] = "X5G6M_5G9MY52G4M_52G7M.bmp";

struct CRendered
{
    int nExitCode = -1;
    QString err;
    QImage image;
    std::vector<QJsonObject> texts;
};

class CliRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
    }

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

    QString Write(const QString& strName, const QByteArray& data) const
    {
        QFile file(Path(strName));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        return Path(strName);
    }

    // A track of nPoints points along a north-eastward line, the middle one
    // a placemark.
    QString Track(int nPoints) const
    {
        CTrackPointList points;
        for (int i = 0; i < nPoints; ++i) {
            CTrackPoint point;
            point.m_fLatitude = 52.08f + 0.00002f * float(i);
            point.m_fLongitude = 5.11f + 0.00003f * float(i);
            if (i == nPoints / 2)
                point.m_strName = QStringLiteral("Hut");
            points.push_back(point);
        }
        const QString strPath = Path(QStringLiteral("track%1.gpd").arg(nPoints));
        EXPECT_TRUE(WriteGpdFile(strPath, points));
        return strPath;
    }

    QString Map() const
    {
        QImage image(180, 180, QImage::Format_RGB888);
        image.fill(QColor(230, 220, 200));
        const QString strPath = Path(QString::fromLatin1(MAP_NAME));
        EXPECT_TRUE(image.save(strPath, "BMP"));
        return strPath;
    }

    CRendered Render(const QStringList& args, const QStringList& env = {}) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& strPair : env)
            environment.insert(strPair.section(u'=', 0, 0), strPair.section(u'=', 1));
        process.setProcessEnvironment(environment);
        const QString strPng = Path(QStringLiteral("out.png"));
        QFile::remove(strPng);
        process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"),
                      QStringList{QStringLiteral("render")} + args);
        CRendered result;
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
            return result;
        result.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.err = QString::fromUtf8(process.readAllStandardError());
        result.image = QImage(strPng);
        for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                result.texts.push_back(QJsonDocument::fromJson(line).object());
        }
        return result;
    }

    // Renders into out.png with the texts listed.
    CRendered View(const char* szView, QStringList args = {}, const QStringList& env = {}) const
    {
        args.prepend(QString::fromLatin1(szView));
        args << QStringLiteral("--png") << Path(QStringLiteral("out.png")) << QStringLiteral("--texts");
        return Render(args, env);
    }

    QTemporaryDir m_dir;
};

QString Text(const QJsonObject& text)
{
    return text[QStringLiteral("text")].toString();
}

const QJsonObject* Find(const CRendered& r, const QString& strStart)
{
    for (const QJsonObject& text : r.texts) {
        if (Text(text).startsWith(strStart))
            return &text;
    }
    ADD_FAILURE() << "no text starting with " << strStart.toStdString();
    return nullptr;
}

TEST_F(CliRender, EveryViewPaintsTheWindowWithItsTexts)
{
    const QString strNmea = Write(QStringLiteral("fix.nmea"), NMEA_NORTH_EAST);
    const struct
    {
        const char* szView;
        const char* szFirstViewText;   // the first text after the date line
    } VIEWS[] = {
        {"data", "13:35:19"}, {"compass", "159\u00B0"}, {"track", "159\u00B0"},
        {"status", "Latitude: 52.090"}, {"map", "159\u00B0"},
    };
    for (const auto& view : VIEWS) {
        SCOPED_TRACE(view.szView);
        const CRendered r = View(view.szView, {QStringLiteral("--nmea"), strNmea, QStringLiteral("--map"), Map(),
                                               QStringLiteral("--track"), Track(20)});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.image.size(), QSize(RENDER_W, RENDER_H));
        ASSERT_GE(r.texts.size(), 3u);
        const QJsonObject& date = r.texts.front();
        const QJsonObject& status = r.texts.back();
        if (view.szView != std::string("map")) {
            EXPECT_EQ(Text(date), QStringLiteral("08-12-2026"));
            EXPECT_EQ(date[QStringLiteral("x")].toInt(), 6);
            EXPECT_EQ(date[QStringLiteral("y")].toInt(), 1);
            EXPECT_EQ(date[QStringLiteral("color")].toString(), QStringLiteral("#000000"));
        }
        EXPECT_TRUE(Text(r.texts[1]).startsWith(QString::fromUtf8(view.szFirstViewText))) << Text(r.texts[1]).toStdString();
        EXPECT_EQ(Text(status), QStringLiteral("Pnt:20 Sec: 1 Sats:6 Dltn:1.3 Zm:1.0 OK      "));
        EXPECT_EQ(status[QStringLiteral("y")].toInt(), RENDER_H - 14);
        EXPECT_EQ(status[QStringLiteral("inkWidth")].toInt() + QFontMetrics(CDC::DefaultFont()).horizontalAdvance(QStringLiteral("      ")),
                  status[QStringLiteral("width")].toInt());
    }

    const CRendered plain = View("data", {QStringLiteral("--size"), QStringLiteral("320x240")});
    ASSERT_EQ(plain.nExitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.image.size(), QSize(320, 240));
    EXPECT_EQ(Text(plain.texts.front()), QStringLiteral("00-00-   0"));
    EXPECT_EQ(plain.texts.front()[QStringLiteral("color")].toString(), QStringLiteral("#808080"));
}

// Each row of the views table is a view of its own: found by its name and
// its command, in the tap cycle when it belongs to the display window, and
// painted by render.
TEST_F(CliRender, EveryRowOfTheViewsTableIsAView)
{
    const QString strNmea = Write(QStringLiteral("fix.nmea"), NMEA_NORTH_EAST);
    std::vector<EViewType> cycle{EViewType::GpsData};
    for (EViewType eView = NextView(EViewType::GpsData); eView != EViewType::GpsData; eView = NextView(eView))
        cycle.push_back(eView);
    size_t nInCycle = 0;
    for (const CViewRow& row : ViewTable()) {
        SCOPED_TRACE(row.szRenderName);
        EXPECT_EQ(FindViewByName(row.szRenderName), &row);
        EXPECT_EQ(FindViewByCommand(row.nCommandId), &row);
        const bool bInCycle = std::count(cycle.begin(), cycle.end(), row.eView) == 1;
        EXPECT_EQ(bInCycle, row.ePlace == EViewPlace::DisplayWindow);
        nInCycle += bInCycle;
        if (bInCycle) {
            EXPECT_EQ(ViewFromSetting(int32_t(row.eView)), row.eView);
        }
        const CRendered r = View(row.szRenderName, {QStringLiteral("--nmea"), strNmea, QStringLiteral("--map"), Map()});
        EXPECT_EQ(r.nExitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(r.texts.empty());
    }
    EXPECT_EQ(nInCycle, cycle.size());
    for (int32_t nUnknown : {-1, 0, 6, 1000000})
        EXPECT_EQ(ViewFromSetting(nUnknown), EViewType::GpsData) << nUnknown;
}

TEST_F(CliRender, BadArgumentsAndUnreadableInput)
{
    const QString strPng = Path(QStringLiteral("out.png"));
    const struct
    {
        QStringList args;
        int nExitCode;
    } CASES[] = {
        {{}, 2},
        {{QStringLiteral("radar"), QStringLiteral("--png"), strPng}, 2},
        {{QStringLiteral("data")}, 2},
        // No fix, so no catalogue map holds the position.
        {{QStringLiteral("map"), QStringLiteral("--png"), strPng}, 1},
        {{QStringLiteral("data"), QStringLiteral("--png"), strPng, QStringLiteral("--size"), QStringLiteral("240")}, 2},
        {{QStringLiteral("data"), QStringLiteral("--png"), strPng, QStringLiteral("--size"), QStringLiteral("0x10")}, 2},
        {{QStringLiteral("map"), QStringLiteral("--png"), strPng, QStringLiteral("--zoom"), QStringLiteral("0,5")}, 2},
        {{QStringLiteral("data"), QStringLiteral("--png"), strPng, QStringLiteral("--nmea"), Path(QStringLiteral("none"))}, 1},
        {{QStringLiteral("data"), QStringLiteral("--png"), strPng, QStringLiteral("--track"), Path(QStringLiteral("none.gpd"))}, 1},
        {{QStringLiteral("map"), QStringLiteral("--png"), strPng, QStringLiteral("--map"), Path(QStringLiteral("X1G0M_2G0MY1G0M_2G0M.bmp"))}, 1},
        {{QStringLiteral("data"), QStringLiteral("--png"), Path(QStringLiteral("no/such/folder/out.png"))}, 1},
        {{QStringLiteral("--help")}, 0},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const CRendered r = Render(c.args);
        EXPECT_EQ(r.nExitCode, c.nExitCode) << r.err.toStdString();
        if (c.nExitCode) {
            EXPECT_TRUE(r.err.contains(QStringLiteral("veltrip-cli render"))) << r.err.toStdString();
        }
    }
}

// A capture is read like every other input: a FIFO would hang and a device
// feed without end, so neither is read at all.
TEST_F(CliRender, NmeaInputMustBeARegularFile)
{
    const QString strFifo = Path(QStringLiteral("fifo.nmea"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    for (const QString& strInput : {strFifo, QStringLiteral("/dev/null")}) {
        const CRendered r = Render({QStringLiteral("data"), QStringLiteral("--png"), Path(QStringLiteral("out.png")),
                                    QStringLiteral("--nmea"), strInput});
        EXPECT_EQ(r.nExitCode, 1) << strInput.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("not a regular file"))) << r.err.toStdString();
    }
}

// The window and the texts on it share the handheld's white: no grey frame
// around the texts.
TEST_F(CliRender, BackgroundIsWhite)
{
    const CRendered r = View("compass");
    ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.image.pixel(RENDER_W - 2, 12), qRgb(255, 255, 255));
    EXPECT_EQ(r.image.pixel(2, RENDER_H - 20), qRgb(255, 255, 255));
}

// Under a locale with a decimal comma every number keeps its decimal point.
TEST_F(CliRender, NumbersKeepTheDecimalPointUnderACommaLocale)
{
    const char* szLocale = "de_DE.UTF-8";
    locale_t locale = newlocale(LC_ALL_MASK, szLocale, locale_t(0));
    if (!locale)
        GTEST_SKIP() << szLocale << " is not installed (scripts/install-deps.sh generates it)";
    freelocale(locale);
    const QString strNmea = Write(QStringLiteral("fix.nmea"), NMEA_NORTH_EAST);
    const QStringList env{QStringLiteral("LC_ALL=") + QString::fromLatin1(szLocale)};
    const struct
    {
        const char* szView;
        QString strText;
    } CASES[] = {
        {"data", QStringLiteral("12.0 knots   ")},
        {"data", QStringLiteral("22.2 kmh   ")},
        {"data", QStringLiteral("Alt: 14.5 mtr     ")},
        {"data", QStringLiteral("  52\u00B0 5'24.7''")},
        {"compass", QStringLiteral("12.0")},
        {"compass", QStringLiteral("Direction: 159.0\u00B0 12.0knts  22.2kmh")},
        {"status", QStringLiteral("GSA:Auto, 3D, P:2.5 H:1.3 V:2.1")},
        {"status", QStringLiteral("Latitude: 52.090")},
        {"map", QStringLiteral("12.0")},
        {"map", QStringLiteral("Pnt:0 Sec: 1 Sats:6 Dltn:1.3 Zm:1.5 OK      ")},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szView);
        const CRendered r = View(c.szView, {QStringLiteral("--nmea"), strNmea, QStringLiteral("--map"), Map(),
                                            QStringLiteral("--zoom"), QStringLiteral("1.5")}, env);
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        Find(r, c.strText);
    }
}

// At the handheld's 240 x 268 every text ends within the window and no digit
// of the position stands under the small dial of the GPS data view.
TEST_F(CliRender, TextsFitTheHandheldWindow)
{
    const QString strNorthEast = Write(QStringLiteral("ne.nmea"), NMEA_NORTH_EAST);
    const QString strSouthWest = Write(QStringLiteral("sw.nmea"), NMEA_SOUTH_WEST);
    const QString strFast = Write(QStringLiteral("fast.nmea"), NMEA_FAST);
    const QString strNoFix = Write(QStringLiteral("nofix.nmea"), NMEA_NO_FIX);
    const QString strTrack = Track(152);
    const QString strLong = Track(1234);
    const QString strMap = Map();
    const QString NMEA = QStringLiteral("--nmea");
    const struct
    {
        const char* szView;
        QStringList args;
        const char* szExpect;   // a text the state must show
    } STATES[] = {
        {"data", {NMEA, strNorthEast}, "  52\u00B0 5'24.7''"},
        {"data", {NMEA, strSouthWest}, " 151\u00B012'34.0''"},
        {"status", {NMEA, strNorthEast}, "ID: 0 Prn:32 Elev:40 Azim:100 Snr: 0dB"},
        {"track", {NMEA, strNorthEast, QStringLiteral("--track"), strTrack}, "Screen X:"},
        {"data", {NMEA, strNorthEast, QStringLiteral("--track"), strLong, QStringLiteral("--map"), strMap},
         "Pnt:1234 Sec: 1 Sats:6 Dltn:1.3 Zm:1.0 OK"},
        {"data", {NMEA, strNoFix, QStringLiteral("--track"), strLong, QStringLiteral("--map"), strMap},
         "Pnt:1234 Sec: 1 Sats:0 Dltn:0.0 Zm:1.0 No signal"},
        {"compass", {NMEA, strFast}, "25.0"},
        {"compass", {NMEA, strFast, QStringLiteral("--kmh")}, "46"},
    };
    const QFontMetrics small(CreateViewFonts().m_fontSmall);
    for (const auto& state : STATES) {
        SCOPED_TRACE(state.szView + (u' ' + state.args.join(u' ')).toStdString());
        const CRendered r = View(state.szView, state.args);
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        Find(r, QString::fromUtf8(state.szExpect));
        for (const QJsonObject& text : r.texts) {
            const int x = text[QStringLiteral("x")].toInt();
            EXPECT_LE(x + text[QStringLiteral("inkWidth")].toInt(), RENDER_W) << Text(text).toStdString();
            EXPECT_GE(x, 0) << Text(text).toStdString();
            const QString strText = Text(text);
            if (!strText.endsWith(QStringLiteral("''")))
                continue;
            const qsizetype nDigits = strText.indexOf(QRegularExpression(QStringLiteral("[0-9]")));
            const int xDigits = x + small.horizontalAdvance(strText.left(nDigits));
            // Degrees of three digits cannot clear the dial: the value ends
            // where the hemisphere letter begins, at 218, and is 134 pixels
            // wide without its leading blank, so it starts at 84.
            if (strText.startsWith(QStringLiteral(" 1")))
                EXPECT_EQ(xDigits, DIAL_RIGHT_EDGE - 4) << strText.toStdString();
            else
                EXPECT_GE(xDigits, DIAL_RIGHT_EDGE) << strText.toStdString();
        }
    }
}


// --scale F paints the same layout F times larger: a picture of F times the
// size, every text where the unscaled one stands times F (one aligned by its
// width within three layout pixels, as each size's hinting rounds the glyphs'
// advances its own way), and none past an edge the unscaled one keeps within,
// under a comma locale too.
TEST_F(CliRender, ScaledViewsKeepTheirLayout)
{
    const QString strNmea = Write(QStringLiteral("fix.nmea"), NMEA_NORTH_EAST);
    const QString strTrack = Track(40);
    const QString strMap = Map();
    const QStringList GERMAN{QStringLiteral("LC_ALL=de_DE.UTF-8")};
    const struct
    {
        const char* szView;
        const char* szScale;
        QStringList extra;
        QSize picture;
        QStringList env;
    } CASES[] = {
        {"data", "2", {}, QSize(480, 536), {}},
        {"data", "1.5", {}, QSize(360, 402), {}},
        {"data", "3", {}, QSize(720, 804), GERMAN},
        {"data", "2", {QStringLiteral("--size"), QStringLiteral("320x200")}, QSize(640, 400), {}},
        {"status", "2", {}, QSize(480, 536), GERMAN},
        {"compass", "2", {QStringLiteral("--kmh")}, QSize(480, 536), {}},
        {"track", "2", {}, QSize(480, 536), {}},
        {"map", "2", {QStringLiteral("--map"), strMap}, QSize(480, 536), {}},
        {"sky", "2", {}, QSize(480, 536), {}},
        {"profile", "2", {}, QSize(480, 536), {}},
        {"profile", "1.5", {}, QSize(360, 402), GERMAN},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(std::string(c.szView) + " at " + c.szScale + " " + c.env.join(u' ').toStdString());
        const QStringList args = QStringList{QStringLiteral("--nmea"), strNmea, QStringLiteral("--track"), strTrack}
                                 + c.extra;
        const CRendered plain = View(c.szView, args, c.env);
        const CRendered scaled = View(c.szView, args + QStringList{QStringLiteral("--scale"), QString::fromLatin1(c.szScale)},
                                      c.env);
        ASSERT_EQ(scaled.nExitCode, 0) << scaled.err.toStdString();
        EXPECT_EQ(scaled.image.size(), c.picture);
        ASSERT_EQ(scaled.texts.size(), plain.texts.size());
        const double dScale = QString::fromLatin1(c.szScale).toDouble();
        constexpr int RENDER_LAYOUT_SLACK = 3;
        const int nSlack = int(std::ceil(RENDER_LAYOUT_SLACK * dScale));
        for (size_t i = 0; i < scaled.texts.size(); ++i) {
            const QJsonObject& one = plain.texts[i];
            const QJsonObject& big = scaled.texts[i];
            const auto value = [](const QJsonObject& text, const char* szName) {
                return text[QString::fromLatin1(szName)].toInt();
            };
            SCOPED_TRACE(Text(big).toStdString());
            EXPECT_EQ(Text(big), Text(one));
            EXPECT_NEAR(value(big, "x"), value(one, "x") * dScale, nSlack);
            EXPECT_NEAR(value(big, "y"), value(one, "y") * dScale, nSlack);
            EXPECT_LE(value(big, "height"), value(one, "height") * dScale);
            EXPECT_GE(value(big, "x"), 0);
            if (value(one, "x") + value(one, "inkWidth") <= plain.image.width()) {
                EXPECT_LE(value(big, "x") + value(big, "inkWidth"), c.picture.width());
            }
            if (value(one, "y") + value(one, "height") <= plain.image.height()) {
                EXPECT_LE(value(big, "y") + value(big, "height"), c.picture.height());
            }
        }
    }
}

TEST_F(CliRender, ScaleOutsideItsRangeIsRefused)
{
    for (const char* szScale : {"0.5", "0", "8.5", "2,0", "two", ""}) {
        const CRendered r = View("data", {QStringLiteral("--scale"), QString::fromLatin1(szScale)});
        EXPECT_EQ(r.nExitCode, 2) << szScale;
        EXPECT_TRUE(r.err.contains(QStringLiteral("--scale"))) << r.err.toStdString();
    }
    const CRendered tooLarge = View("data", {QStringLiteral("--size"), QStringLiteral("4000x100"),
                                             QStringLiteral("--scale"), QStringLiteral("2")});
    EXPECT_EQ(tooLarge.nExitCode, 2);
    EXPECT_TRUE(tooLarge.err.contains(QStringLiteral("4096"))) << tooLarge.err.toStdString();
}

// The Satellites window's sky plot of the receiver's GSV and GSA sentences:
// twelve in view, six of them used.
TEST_F(CliRender, SkyPlotOfTheSatellitesInView)
{
    const QString strNmea = Write(QStringLiteral("fix.nmea"), NMEA_NORTH_EAST);
    const CRendered r = View("sky", {QStringLiteral("--nmea"), strNmea});
    ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.image.size(), QSize(RENDER_W, RENDER_H));
    QStringList texts;
    for (const QJsonObject& text : r.texts) {
        texts << Text(text);
        const QRect rc(text[QStringLiteral("x")].toInt(), text[QStringLiteral("y")].toInt(),
                       text[QStringLiteral("width")].toInt(), text[QStringLiteral("height")].toInt());
        EXPECT_TRUE(QRect(0, 0, RENDER_W, RENDER_H).contains(rc)) << Text(text).toStdString();
    }
    EXPECT_EQ(texts.mid(0, 4), (QStringList{"N", "S", "E", "W"}));
    const struct
    {
        int nPrn;
        int nElevation;
        int nAzimuth;
        bool bUsed;
    } SATS[] = {{4, 45, 270, true}, {12, 61, 200, true}, {26, 5, 359, true},
                {27, 15, 123, false}, {31, 35, 333, false}, {32, 40, 100, false}};
    for (const auto& sat : SATS) {
        SCOPED_TRACE(sat.nPrn);
        EXPECT_EQ(texts.count(QString::number(sat.nPrn)), 2) << "beside its disc and below its bar";
        const QPoint at = SkyPosition(sat.nAzimuth, sat.nElevation);
        EXPECT_EQ(r.image.pixel(at + QPoint(2, 1)), sat.bUsed ? qRgb(0, 90, 200) : qRgb(255, 255, 255));
    }
    // The bars: 37 dB for the used six, 0 for the rest, in table order.
    const int nBar37 = 37 * SKY_BAR_HEIGHT / SKY_MAX_SNR;
    EXPECT_EQ(r.image.pixel(10, SKY_BAR_BASE - nBar37), qRgb(0, 90, 200));
    EXPECT_EQ(r.image.pixel(10, SKY_BAR_BASE - nBar37 - 1), qRgb(255, 255, 255));
    EXPECT_EQ(r.image.pixel(6 * 20 + 10, SKY_BAR_BASE - 1), qRgb(255, 255, 255));

    // Before any sentence: the plot alone, no satellite.
    const CRendered empty = View("sky");
    ASSERT_EQ(empty.nExitCode, 0) << empty.err.toStdString();
    EXPECT_EQ(empty.texts.size(), 4u);
}

// Every system's satellites in the sky plot, each once, marked used by the
// GSA of its own system: the system id of NMEA 4.10, else the talker, and
// the GN lists of NMEA 4.0 gathered over their run of lines.
TEST_F(CliRender, SkyOfEverySystem)
{
    QString strManyGps;
    for (int nPage = 1; nPage <= 5; ++nPage) {
        strManyGps += QStringLiteral("$GPGSV,5,%1,18").arg(nPage);
        for (int nPrn = 4 * nPage - 3; nPrn <= std::min(4 * nPage, 18); ++nPrn)
            strManyGps += QStringLiteral(",%1,%2,%3,30").arg(nPrn).arg(nPrn * 4).arg(nPrn * 19);
        strManyGps += QStringLiteral("\r\n");
    }
    const struct
    {
        const char* szName;
        QString strCapture;   // a capture's text, or a file of the corpus
        const char* szCorpusFile;
        int nInView;
        QStringList used;
        QStringList unused;
        QStringList absent;
    } CASES[] = {
        {"four systems with system ids and a second signal",
         QStringLiteral("$GPGSV,1,1,02,05,45,090,40,12,30,180,35,1\r\n"
                        "$GLGSV,1,1,02,70,60,270,38,71,20,000,30,1\r\n"
                        "$GAGSV,1,1,02,12,50,045,42,30,10,300,25,7\r\n"
                        "$GAGSV,1,1,02,12,50,045,44,30,10,300,,2\r\n"
                        "$GBGSV,1,1,01,08,70,135,33,1\r\n"
                        "$GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,1\r\n"
                        "$GNGSA,A,3,70,71,,,,,,,,,,,1.5,0.9,1.2,2\r\n"
                        "$GNGSA,A,3,12,,,,,,,,,,,,1.5,0.9,1.2,3\r\n"
                        "$GNGSA,A,3,08,,,,,,,,,,,,1.5,0.9,1.2,4\r\n"),
         nullptr, 7, {"5", "R70", "R71", "E12", "C8"}, {"12", "E30"}, {"1", "C1", "E7", "E2"}},
        {"GN lists without a system id",
         QStringLiteral("$GPGSV,1,1,03,02,45,090,40,04,30,180,35,09,10,270,20\r\n"
                        "$GLGSV,1,1,02,66,60,270,38,67,20,000,30\r\n"
                        "$GNGSA,A,3,02,04,,,,,,,,,,,2.0,1.0,1.7\r\n"
                        "$GNGSA,A,3,66,,,,,,,,,,,,2.0,1.0,1.7\r\n"),
         nullptr, 5, {"2", "4", "R66"}, {"9", "R67"}, {}},
        {"BeiDou and QZSS by their talkers, NavIC by its id",
         QStringLiteral("$BDGSV,1,1,01,201,45,090,40\r\n"
                        "$GQGSV,1,1,01,193,30,180,35\r\n"
                        "$GIGSV,1,1,01,05,20,300,30,1\r\n"
                        "$BDGSA,A,3,201,,,,,,,,,,,,2.0,1.0,1.7\r\n"
                        "$GNGSA,A,3,05,,,,,,,,,,,,2.0,1.0,1.7,6\r\n"),
         nullptr, 3, {"C201", "I5"}, {"J193"}, {"201", "193", "5"}},
        {"eighteen of one system", strManyGps, nullptr, 18, {}, {"1", "13", "18"}, {}},
        {"ST Teseo: GPS and GLONASS", QString(), "st-teseo-liv3f.log", 23, {"11", "12", "6", "21", "R88"}, {"9"},
         {}},
        {"u-blox F9P: four systems, two signals each", QString(), "ublox-zed-f9p-nmea.log", 41,
         {"13", "R81", "E12", "C22"}, {"5", "E2"}, {}},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        QString strNmea;
        if (c.szCorpusFile) {
            if (!HaveCorpus())
                continue;   // the made-up captures still run
            strNmea = CorpusDir() + QStringLiteral("/nmea/") + QLatin1String(c.szCorpusFile);
        } else {
            strNmea = Write(QStringLiteral("sky.nmea"), c.strCapture.toLatin1());
        }
        const CRendered r = View("sky", {QStringLiteral("--nmea"), strNmea});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        ASSERT_GE(r.texts.size(), 4u);
        QStringList names;
        for (size_t i = 4; i < r.texts.size(); ++i)
            names << Text(r.texts[i]);
        EXPECT_EQ(names.size(), 2 * c.nInView) << "a name beside each disc and below each bar: "
                                               << names.join(u' ').toStdString();
        for (const QString& strName : names)
            EXPECT_EQ(names.count(strName), 2) << strName.toStdString() << " more than once";
        for (const QString& strName : c.absent)
            EXPECT_FALSE(names.contains(strName)) << strName.toStdString();
        // The disc's centre from its name's place beside it: filled when used.
        // Discs of a real sky overlap; there the names alone are checked.
        for (const bool bUsed : {true, false}) {
            for (const QString& strName : bUsed ? c.used : c.unused) {
                EXPECT_TRUE(names.contains(strName)) << strName.toStdString();
                if (c.szCorpusFile)
                    continue;
                const QJsonObject* pName = Find(r, strName);
                if (!pName)
                    continue;
                const QPoint centre((*pName)[QStringLiteral("x")].toInt() - SKY_MARK_RADIUS - 1,
                                    (*pName)[QStringLiteral("y")].toInt() + SKY_MARK_RADIUS + 2);
                EXPECT_EQ(r.image.pixel(centre + QPoint(2, 1)), bUsed ? qRgb(0, 90, 200) : qRgb(255, 255, 255))
                    << strName.toStdString() << (bUsed ? " used" : " not used");
            }
        }
    }
}

// Seconds that round to 60.0 carry into the minutes and on into the
// degrees, in the GPS data view's latitude and longitude.
TEST_F(CliRender, DegreesMinutesSecondsNeverShowSixtySeconds)
{
    const struct
    {
        const char* szPosition;   // the RMC and GGA fields
        const char* szLatitude;
        const char* szLongitude;
    } CASES[] = {
        {"5106.0000,N,00506.0000,E", "  51\u00B0 6' 0.0''", "   5\u00B0 6' 0.0''"},
        {"5259.9994,N,17959.9997,W", "  53\u00B0 0' 0.0''", " 180\u00B0 0' 0.0''"},
        {"3352.0683,S,00415.0000,E", "  33\u00B052' 4.1''", "   4\u00B015' 0.0''"},
        {"0000.9999,N,00059.99999,E", "   0\u00B0 1' 0.0''", "   1\u00B0 0' 0.0''"},
        {"5205.4117,N,00507.3750,E", "  52\u00B0 5'24.7''", "   5\u00B0 7'22.5''"},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szPosition);
        const QString strNmea = Write(QStringLiteral("dms.nmea"),
                                      QStringLiteral("$GPRMC,123519,A,%1,12.0,159.0,081226,,,A\r\n"
                                                     "$GPGGA,123519,%1,1,06,1.3,14.5,M,47.0,M,,\r\n")
                                          .arg(QLatin1String(c.szPosition))
                                          .toLatin1());
        const CRendered r = View("data", {QStringLiteral("--nmea"), strNmea});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        QStringList texts;
        for (const QJsonObject& text : r.texts)
            texts << Text(text);
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.szLatitude))) << texts.join(u'|').toStdString();
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.szLongitude))) << texts.join(u'|').toStdString();
    }
}

}

namespace {

// The Profile window over tracks written as GPD: altitude and speed (knots)
// a point, 0.001 degree north of the one before, one second apart unless an
// hour passes after nGapAfter.
TEST_F(CliRender, ProfileLabelsAndTheirPlaces)
{
    struct AltitudeSpeed
    {
        float fAltitude;
        float fSpeed;
    };
    const std::vector<AltitudeSpeed> HILL = {{100, 0}, {103, 2}, {98, 4}, {110, 10}, {125.5f, 8}, {115, 6}, {100, 0}};
    const QString GERMAN = QStringLiteral("LC_ALL=de_DE.UTF-8");
    const QString KMH = QStringLiteral("--kmh");
    const struct
    {
        const char* szName;
        std::vector<AltitudeSpeed> points;
        int nGapAfter;
        QStringList args;
        QStringList env;
        QStringList texts;   // in drawing order
    } CASES[] = {
        // Six legs of 111.195 m.
        {"hill", HILL, -1, {}, {},
         {"Altitude (m)", "126", "98", "Speed (knots)", "10.0", "0.0", "0", "0.67 km"}},
        {"gap in time", HILL, 2, {}, {},
         {"Altitude (m)", "126", "98", "Speed (knots)", "10.0", "0.0", "0", "0.67 km"}},
        {"German, km/h", HILL, -1, {KMH}, {GERMAN},
         {"Altitude (m)", "126", "98", "Speed (km/h)", "18.5", "0.0", "0", "0.67 km"}},
        {"flat", std::vector<AltitudeSpeed>(4, {50, 3}), -1, {KMH}, {GERMAN},
         {"Altitude (m)", "50", "50", "Speed (km/h)", "5.6", "5.6", "0", "0.33 km"}},
        {"single point", {{7, 1}}, -1, {}, {}, {"No track"}},
        {"no track", {}, -1, {}, {}, {"No track"}},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        CTrackPointList points;
        int nSecond = 0;
        for (size_t i = 0; i < c.points.size(); ++i) {
            CTrackPoint& point = points.emplace_back();
            point.m_fLatitude = 52.0f + 0.001f * float(i);
            point.m_fLongitude = 5.0f;
            point.m_fAltitude = c.points[i].fAltitude;
            point.m_fSpeed = c.points[i].fSpeed;
            point.m_byHour = uint8_t(10 + nSecond / 3600);
            point.m_byMinute = uint8_t(nSecond / 60 % 60);
            point.m_bySecond = uint8_t(nSecond % 60);
            nSecond += int(i) == c.nGapAfter ? 3600 : 1;
        }
        QStringList args = c.args;
        if (!points.empty()) {
            ASSERT_TRUE(WriteGpdFile(Path(QStringLiteral("profile.gpd")), points));
            args << QStringLiteral("--track") << Path(QStringLiteral("profile.gpd"));
        }
        const CRendered r = View("profile", args, c.env);
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.image.size(), QSize(RENDER_W, RENDER_H));
        QStringList texts;
        for (const QJsonObject& text : r.texts) {
            texts << Text(text);
            // Whole within the window.
            EXPECT_GE(text[QStringLiteral("x")].toInt(), 0) << Text(text).toStdString();
            EXPECT_GE(text[QStringLiteral("y")].toInt(), 0) << Text(text).toStdString();
            EXPECT_LE(text[QStringLiteral("x")].toInt() + text[QStringLiteral("width")].toInt(), RENDER_W);
            EXPECT_LE(text[QStringLiteral("y")].toInt() + text[QStringLiteral("height")].toInt(), RENDER_H);
        }
        EXPECT_EQ(texts, c.texts);
    }
}

// Tools, "Go to…" through render --goto. The reference works on unit
// vectors, independently of the program's haversine and bearing formula.
constexpr double REF_EARTH_RADIUS_M = 6371008.8;
constexpr double REF_DEG = 3.14159265358979323846 / 180.0;

struct CRefVector
{
    double x, y, z;
};

CRefVector UnitVector(double dLatitude, double dLongitude)
{
    const double f = dLatitude * REF_DEG;
    const double l = dLongitude * REF_DEG;
    return {std::cos(f) * std::cos(l), std::cos(f) * std::sin(l), std::sin(f)};
}

double Dot(const CRefVector& a, const CRefVector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

double RefMeters(double dLat1, double dLon1, double dLat2, double dLon2)
{
    const CRefVector a = UnitVector(dLat1, dLon1);
    const CRefVector b = UnitVector(dLat2, dLon2);
    const CRefVector c{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return REF_EARTH_RADIUS_M * std::atan2(std::sqrt(Dot(c, c)), Dot(a, b));
}

double RefBearing(double dLat1, double dLon1, double dLat2, double dLon2)
{
    const double f = dLat1 * REF_DEG;
    const double l = dLon1 * REF_DEG;
    const CRefVector a = UnitVector(dLat1, dLon1);
    const CRefVector b = UnitVector(dLat2, dLon2);
    const double d = Dot(a, b);
    const CRefVector t{b.x - d * a.x, b.y - d * a.y, b.z - d * a.z};
    const CRefVector north{-std::sin(f) * std::cos(l), -std::sin(f) * std::sin(l), std::cos(f)};
    const CRefVector east{-std::sin(l), std::cos(l), 0};
    const double dDegrees = std::atan2(Dot(t, east), Dot(t, north)) / REF_DEG;
    return dDegrees < 0 ? dDegrees + 360 : dDegrees;
}

// The place dMeters from the start towards dBearing, on the sphere.
std::pair<double, double> PlaceAt(double dLatitude, double dLongitude, double dMeters, double dBearing)
{
    const double f = dLatitude * REF_DEG;
    const double d = dMeters / REF_EARTH_RADIUS_M;
    const double t = dBearing * REF_DEG;
    const double f2 = std::asin(std::sin(f) * std::cos(d) + std::cos(f) * std::sin(d) * std::cos(t));
    const double l2 = std::atan2(std::sin(t) * std::sin(d) * std::cos(f), std::cos(d) - std::sin(f) * std::sin(f2));
    return {f2 / REF_DEG, dLongitude + l2 / REF_DEG};
}

// An RMC and a GGA at the place, four decimals of a minute as receivers
// send them, at dKnots; returns the place as the tracker keeps it.
QByteArray FixAt(double dLatitude, double dLongitude, double dKnots, std::pair<double, double>& kept)
{
    const auto field = [](double dDegrees, int nDegreeDigits, char cPlus, char cMinus, double& dKept) {
        const double a = std::fabs(dDegrees);
        int nDegrees = int(a);
        double dMinutes = std::round((a - nDegrees) * 60 * 10000) / 10000;
        if (dMinutes >= 60) {
            ++nDegrees;
            dMinutes = 0;
        }
        dKept = double(float((nDegrees + dMinutes / 60) * (dDegrees < 0 ? -1 : 1)));
        return QString::asprintf("%0*d%07.4f,%c", nDegreeDigits, nDegrees, dMinutes, dDegrees < 0 ? cMinus : cPlus)
            .toLatin1();
    };
    const QByteArray lat = field(dLatitude, 2, 'N', 'S', kept.first);
    const QByteArray lon = field(dLongitude, 3, 'E', 'W', kept.second);
    return "$GPRMC,123519,A," + lat + "," + lon + "," + QByteArray::number(dKnots, 'f', 1)
           + ",90.0,081226,,,A\r\n$GPGGA,123519," + lat + "," + lon + ",1,06,1.3,14.5,M,47.0,M,,\r\n";
}

TEST_F(CliRender, GoToDistanceAndBearingAgainstAReference)
{
    const struct
    {
        const char* szWhat;
        double dLat1, dLon1;
        double dLat2, dLon2;   // NAN: dMeters towards dBearing from the start
        double dMeters, dBearing;
        const char* szDistance;
    } CASES[] = {
        {"across the antimeridian", 0.5, 179.99, 0.5, -179.99, 0, 0, "2.2 km"},
        {"westwards across it", -40, -179.995, -40.001, 179.998, 0, 0, "607 m"},
        {"across the pole", 89.99, 0, 89.99, 180, 0, 0, "2.2 km"},
        {"near the south pole", -89.95, 30, -89.96, 120, 0, 0, "7.1 km"},
        {"1 m", 52.0907, 5.1214, NAN, 0, 1.0, 33, "1 m"},
        {"999 m", 52.0907, 5.1214, NAN, 0, 999.0, 123, "999 m"},
        {"1 km", 52.0907, 5.1214, NAN, 0, 1000.2, 210, "1.0 km"},
        {"150 km", 52.0907, 5.1214, NAN, 0, 150000, 300, "150 km"},
    };
    const QRegularExpression line(QString::fromUtf8("^Go to: ([0-9.]+) (m|km) ([0-9]+)\u00B0 --$"));
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szWhat);
        std::pair<double, double> start;
        const QString strNmea = Write(QStringLiteral("goto.nmea"), FixAt(c.dLat1, c.dLon1, 0.0, start));
        std::pair<double, double> dest{c.dLat2, c.dLon2};
        if (std::isnan(c.dLat2))
            dest = PlaceAt(start.first, start.second, c.dMeters, c.dBearing);
        const CRendered r = View("compass", {QStringLiteral("--nmea"), strNmea, QStringLiteral("--goto"),
                                             QString::asprintf("%.9f,%.9f", dest.first, dest.second)});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        const QJsonObject* pText = Find(r, QStringLiteral("Go to: "));
        ASSERT_NE(pText, nullptr);
        const QRegularExpressionMatch match = line.match(Text(*pText));
        ASSERT_TRUE(match.hasMatch()) << Text(*pText).toStdString();
        EXPECT_EQ(match.captured(1) + u' ' + match.captured(2), QString::fromLatin1(c.szDistance));

        const double dRefMeters = RefMeters(start.first, start.second, dest.first, dest.second);
        const bool bKm = match.captured(2) == QStringLiteral("km");
        const double dStep = !bKm ? 1 : match.captured(1).contains(u'.') ? 100 : 1000;
        EXPECT_NEAR(match.captured(1).toDouble() * (bKm ? 1000 : 1), dRefMeters, dStep / 2 + 0.01);
        const double dRefBearing = RefBearing(start.first, start.second, dest.first, dest.second);
        const double dOff = std::remainder(match.captured(3).toDouble() - dRefBearing, 360.0);
        EXPECT_LE(std::fabs(dOff), 0.5 + 1e-6) << dRefBearing;
    }
}

TEST_F(CliRender, GoToOnEveryViewThatShowsIt)
{
    std::pair<double, double> start;
    const QString strNmea = Write(QStringLiteral("fast.nmea"), FixAt(52.0907, 5.1214, 12.0, start));
    const QStringList goTo{QStringLiteral("--goto"), QStringLiteral("N 52 06.000 E 5 07.284")};
    const QStringList base{QStringLiteral("--nmea"), strNmea, QStringLiteral("--map"), Map(),
                           QStringLiteral("--track"), Track(20)};
    // 12 knots: 6.2 m/s; 1.0 km takes about 3 minutes.
    const CRendered compass = View("compass", base + goTo);
    ASSERT_EQ(compass.nExitCode, 0) << compass.err.toStdString();
    const QJsonObject* pLine = Find(compass, QStringLiteral("Go to: "));
    ASSERT_NE(pLine, nullptr);
    EXPECT_TRUE(QRegularExpression(QString::fromUtf8("^Go to: 1\\.\\d km \\d+\u00B0 0:03$")).match(Text(*pLine)).hasMatch())
        << Text(*pLine).toStdString();
    EXPECT_EQ((*pLine)[QStringLiteral("color")].toString(), QStringLiteral("#0000e0"));

    const CRendered data = View("data", base + goTo);
    ASSERT_EQ(data.nExitCode, 0);
    EXPECT_NE(Find(data, QStringLiteral("RMC:1 GGA:1 GSA:-1 GSV:0 sats,0 dB  1.0 km")), nullptr);

    // The line and the mark in their own colour on the map and track views,
    // and nothing of it without a destination.
    for (const char* szView : {"map", "track"}) {
        SCOPED_TRACE(szView);
        const auto blue = [](const QImage& image) {
            int nCount = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    nCount += image.pixel(x, y) == qRgb(0, 0, 224);
            }
            return nCount;
        };
        // On the track view a place within the track's box: the middle point.
        const QStringList there{QStringLiteral("--goto"), QStringLiteral("52.0802,5.1103")};
        const CRendered with = View(szView, base + (szView == std::string("track") ? there : goTo));
        ASSERT_EQ(with.nExitCode, 0) << with.err.toStdString();
        EXPECT_GT(blue(with.image), 20);
        const CRendered without = View(szView, base);
        EXPECT_EQ(blue(without.image), 0);
    }
}

TEST_F(CliRender, GoToRefusesCoordinatesItCannotRead)
{
    const CRendered r = View("compass", {QStringLiteral("--goto"), QStringLiteral("52.5 Utrecht")});
    EXPECT_EQ(r.nExitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--goto: Not understood: type latitude and longitude")))
        << r.err.toStdString();
    const CRendered far = View("compass", {QStringLiteral("--goto"), QStringLiteral("95,5")});
    EXPECT_EQ(far.nExitCode, 2);
    EXPECT_TRUE(far.err.contains(QStringLiteral("Latitude lies between 90 S and 90 N"))) << far.err.toStdString();
}

}

namespace {

// A sheet of thin dark lines and letters on paper, 4 x 240 by 4 x 254 pixels:
// what point sampling breaks up when it is shown smaller.
QImage FineSheet()
{
    QImage sheet(960, 1016, QImage::Format_RGB888);
    sheet.fill(QColor(245, 240, 225));
    QPainter painter(&sheet);
    painter.setPen(QPen(QColor(30, 30, 30), 1));
    for (int i = 0; i < 1016; i += 5) {
        painter.drawLine(0, i, 959, i + 400);
        painter.drawLine(i, 0, i, 1015);
    }
    QFont font = painter.font();
    font.setPixelSize(14);
    painter.setFont(font);
    for (int y = 40; y < 1016; y += 60)
        painter.drawText(10, y, QStringLiteral("5.12E 52.08N Utrecht 5.12E 52.08N"));
    painter.end();
    return sheet;
}

// Mean absolute difference per channel between the picture and the sheet
// shrunk nFactor times with a box filter, over rc of the picture.
double MeanBoxDifference(const QImage& picture, const QImage& sheet, int nFactor, const QRect& rc)
{
    double dSum = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y) {
        for (int x = rc.left(); x <= rc.right(); ++x) {
            int nChannels[3] = {0, 0, 0};
            for (int dy = 0; dy < nFactor; ++dy) {
                for (int dx = 0; dx < nFactor; ++dx) {
                    const QRgb rgb = sheet.pixel(x * nFactor + dx, y * nFactor + dy);
                    nChannels[0] += qRed(rgb);
                    nChannels[1] += qGreen(rgb);
                    nChannels[2] += qBlue(rgb);
                }
            }
            const QRgb shown = picture.pixel(x, y);
            const double dArea = nFactor * nFactor;
            dSum += std::abs(nChannels[0] / dArea - qRed(shown)) + std::abs(nChannels[1] / dArea - qGreen(shown))
                    + std::abs(nChannels[2] / dArea - qBlue(shown));
        }
    }
    return dSum / (3.0 * rc.width() * rc.height());
}


// Zoomed out, the map is the sheet shrunk with every pixel counted: within 8
// levels of a box filter, where copying every 4th pixel misses lines whole.
// Zoomed in, edges are blended, not blocks.
TEST_F(CliRender, MapIsDrawnSmoothly)
{
    const QImage sheet = FineSheet();
    const QString strMap = Path(QString::fromLatin1(MAP_NAME));
    ASSERT_TRUE(sheet.save(strMap, "BMP"));
    // Below the needle, above the scale bar: only the map is drawn there.
    const QRect rcMapOnly(0, 50, RENDER_W, 160);
    for (int nFactor : {2, 3, 4}) {
        SCOPED_TRACE(nFactor);
        const CRendered r = View("map", {QStringLiteral("--map"), strMap, QStringLiteral("--zoom"),
                                         QString::number(nFactor)});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        EXPECT_LE(MeanBoxDifference(r.image, sheet, nFactor, rcMapOnly), 8.0);
    }

    const CRendered in = View("map", {QStringLiteral("--map"), strMap, QStringLiteral("--zoom"), QStringLiteral("0.5")});
    ASSERT_EQ(in.nExitCode, 0) << in.err.toStdString();
    // Column 10 of the sheet is a line: shown 2 times larger, its edges in
    // between paper and ink.
    const auto between = [](QRgb rgb) { return qRed(rgb) > 40 && qRed(rgb) < 235; };
    int nBlended = 0;
    for (int x = 16; x < 26; ++x)
        nBlended += between(in.image.pixel(x, 100));
    EXPECT_GE(nBlended, 2);
}


// The scale bar at the bottom left: a round distance along the parallel
// through the view's middle, at most a third of the width, its length
// measured on the bar's line in the picture.
TEST_F(CliRender, ScaleBarShowsARoundDistance)
{
    const struct
    {
        int nLatitude;          // the sheet spans 0.5 degrees from here, 600 pixels
        const char* szZoom;
        int nScale;
        const char* szText;
        int nPixels;            // in the layout's pixels
    } CASES[] = {
        {0, "1", 1, "5 km", 53},   {52, "1", 1, "2 km", 35},   {70, "1", 1, "2 km", 64},
        {52, "4", 1, "10 km", 43}, {52, "0.5", 1, "2 km", 70}, {52, "1", 2, "2 km", 35},
        {70, "20", 1, "50 km", 73},
    };
    QImage sheet(600, 600, QImage::Format_RGB888);
    sheet.fill(QColor(230, 220, 200));
    for (const auto& c : CASES) {
        SCOPED_TRACE(std::string(c.szText) + " at " + std::to_string(c.nLatitude) + ", zoom " + c.szZoom);
        const QString strMap = Path(QStringLiteral("X5G0M_5G30MY%1G0M_%1G30M.bmp").arg(c.nLatitude));
        ASSERT_TRUE(sheet.save(strMap, "BMP"));
        const CRendered r = View("map", {QStringLiteral("--map"), strMap, QStringLiteral("--zoom"),
                                         QString::fromLatin1(c.szZoom), QStringLiteral("--scale"),
                                         QString::number(c.nScale)});
        ASSERT_EQ(r.nExitCode, 0) << r.err.toStdString();
        const QJsonObject* pText = Find(r, QString::fromLatin1(c.szText));
        ASSERT_TRUE(pText);
        EXPECT_EQ(Text(*pText), QString::fromLatin1(c.szText));
        EXPECT_EQ((*pText)[QStringLiteral("x")].toInt(), 6 * c.nScale);
        // The bar's line 5 pixels above the drawing area's bottom, from x 6.
        const int y = (RENDER_H - 14 - 1 - 5) * c.nScale;
        int x = 6 * c.nScale;
        while (x < r.image.width() && qGray(r.image.pixel(x, y)) < 128)
            ++x;
        EXPECT_NEAR(double(x - 6 * c.nScale - 1) / c.nScale, c.nPixels, 1.0);
        EXPECT_LE(c.nPixels, RENDER_W / 3);
    }
}
}
