// What the tools print of a file's name, a name inside a file or a stored
// setting: never a control character, so no such text can drive the
// terminal or pass for a line of its own. Here beside map-import, whose
// sheet names come from a source that GDAL must read.
#include "tests/common/TestSupport.h"
#include "tests/map/GeoRasters.h"
#include "tests/track/TrackTestSupport.h"
#include "track/GpdFile.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace {

const QString ESC_TEXT = QStringLiteral("\x1b[2J");
const QString ESC_SHOWN = QStringLiteral("\\x1b[2J");

TEST(PrintedNames, ControlCharactersAreShownAsHexEscapes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto path = [&dir](const QString& strName) { return dir.filePath(strName); };
    const QString strMissing = path(QStringLiteral("no\nsuch") + ESC_TEXT + QChar(0x9B) + QStringLiteral(".gpd"));
    const QString strMissingShown = path(QStringLiteral("no\\x0asuch") + ESC_SHOWN + QStringLiteral("\\x9b.gpd"));

    const struct
    {
        const char* szName;
        std::function<QStringList()> fnArgs;   // makes what the run needs
        QStringList environment;
        bool bStdout;
        QString strShown;
    } CASES[] = {
        {"a file that is not there", [&] { return QStringList{QStringLiteral("info"), strMissing}; }, {}, false,
         strMissingShown},
        {"convert from it", [&] { return QStringList{QStringLiteral("convert"), strMissing, path("out.kml")}; }, {},
         false, strMissingShown},
        {"convert to a suffix it does not know",
         [&] { return QStringList{QStringLiteral("convert"), path("in.gpd"), path("out") + ESC_TEXT}; }, {}, false,
         ESC_SHOWN},
        {"decode it", [&] { return QStringList{QStringLiteral("decode"), strMissing}; }, {}, false, strMissingShown},
        {"record from it", [&] { return QStringList{QStringLiteral("record"), strMissing, path("out")}; }, {}, false,
         strMissingShown},
        {"an option", [&] { return QStringList{QStringLiteral("info"), QStringLiteral("--") + ESC_TEXT}; }, {}, false,
         QStringLiteral("--") + ESC_SHOWN},
        {"a command", [&] { return QStringList{ESC_TEXT}; }, {}, false,
         QStringLiteral("unknown command '") + ESC_SHOWN + QStringLiteral("'")},
        {"a placemark's name in the file",
         [&] {
             const QString strIn = path(QStringLiteral("names.gpd"));
             const QString strName = QStringLiteral("\x1b]0;owned\x07") + ESC_TEXT + QStringLiteral("\"x\\")
                                     + QChar(0xE9) + QChar(0x85);
             EXPECT_TRUE(WriteGpdFile(strIn, {MakePoint(52, 4, 1, 2, 10, 0, 0, strName)}));
             return QStringList{QStringLiteral("info"), strIn};
         },
         {}, true, QStringLiteral("  \\x1b]0;owned\\x07") + ESC_SHOWN + QStringLiteral("\"x\\\\") + QChar(0xE9)
                       + QStringLiteral("\\x85\n")},
        {"the stored port in the help of log",
         [&] {
             QSettings stored(path(QStringLiteral("config/Korvane productions/veltrip.ini")), QSettings::IniFormat);
             stored.setValue(QStringLiteral("Settings/Comport"), QStringLiteral("COM9:") + ESC_TEXT);
             stored.sync();
             return QStringList{QStringLiteral("log"), QStringLiteral("--help")};
         },
         {QStringLiteral("XDG_CONFIG_HOME=") + path(QStringLiteral("config"))}, true,
         QStringLiteral("(default COM9:") + ESC_SHOWN + QStringLiteral(")")},
        {"sheet names from the source's name",
         [&] {
             const QString strSource = path(QStringLiteral("z") + ESC_TEXT + QStringLiteral(".tif"));
             EXPECT_TRUE(WritePattern(strSource, "GTiff", CGeoGrid{4326, -0.6, 0.3, 0.001, 100, 80}, EPixels::Rgb));
             return QStringList{QStringLiteral("map-import"), strSource, QStringLiteral("--dry-run")};
         },
         {}, true, QStringLiteral("z") + ESC_SHOWN + QStringLiteral("_0_0_X")},
    };
    for (const auto& c : CASES) {
        SCOPED_TRACE(c.szName);
        const CliRun run = RunCli(c.fnArgs(), 60000, c.environment);
        const QString strOutput = run.strOut + run.strErr;
        for (const QChar ch : strOutput) {
            const bool bControl = ch < u' ' || (ch >= QChar(0x7F) && ch <= QChar(0x9F));
            EXPECT_TRUE(!bControl || ch == u'\n') << "control character " << int(ch.unicode());
        }
        EXPECT_TRUE((c.bStdout ? run.strOut : run.strErr).contains(c.strShown))
            << "out: " << run.strOut.toStdString() << "\nerr: " << run.strErr.toStdString();
    }
}

}
