#include "tests/track/TrackTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// What the tools say when a file cannot be read or written: the message, with
// the system's reason where the message does not give it, in English under
// any locale, and the exit code. "@" in the arguments and in the text stands
// for the test's folder.
struct CFailureCase
{
    const char* szWhat;
    QStringList args;
    QString strErr;
    int nExit = 1;
    QStringList environment;
};

const QString GERMAN = QStringLiteral("LC_ALL=de_DE.UTF-8");

const CFailureCase FAILURE_CASES[] = {
    {"a missing track", {"info", "@/missing.gpd"},
     "veltrip-cli info: cannot read @/missing.gpd: No such file or directory\n", 1, {}},
    {"a missing track under de_DE", {"info", "@/missing.gpd"},
     "veltrip-cli info: cannot read @/missing.gpd: No such file or directory\n", 1, {GERMAN}},
    {"a missing capture to decode under de_DE", {"decode", "@/missing.nmea"},
     "veltrip-cli decode: cannot open @/missing.nmea: No such file or directory\n", 1, {GERMAN}},
    {"a folder", {"info", "@/folder.gpd"}, "veltrip-cli info: cannot read @/folder.gpd: not a regular file\n", 1, {}},
    {"a device", {"convert", "/dev/full", "@/out.kml"},
     "veltrip-cli convert: cannot read /dev/full: not a regular file\n", 1, {}},
    {"a GPD cut in its header", {"info", "@/short.gpd"},
     "veltrip-cli info: @/short.gpd is not a GPD track file\n", 1, {}},
    {"an incorrect GPX", {"convert", "@/broken.gpx", "@/out.gpd"},
     "veltrip-cli convert: @/broken.gpx is not a GPX or KML track file\n", 1, {}},
    {"a file that cannot be created", {"convert", "@/good.gpd", "@/no/such/out.kml"},
     "veltrip-cli convert: Error opening:@/no/such/out.kml: No such file or directory\n", 1, {}},
    {"a missing track to render", {"render", "track", "--track", "@/missing.gpd", "--png", "@/x.png"},
     "veltrip: @/missing.gpd: No such file or directory\nveltrip-cli render: cannot use the track @/missing.gpd\n", 1,
     {}},
    {"a missing track to render under de_DE", {"render", "track", "--track", "@/missing.gpd", "--png", "@/x.png"},
     "veltrip: @/missing.gpd: No such file or directory\nveltrip-cli render: cannot use the track @/missing.gpd\n", 1,
     {GERMAN}},
    {"an incorrect track to render", {"render", "track", "--track", "@/short.gpd", "--png", "@/x.png"},
     "veltrip: Incorrect file\nveltrip-cli render: cannot use the track @/short.gpd\n", 1, {}},
    {"a missing map to render", {"render", "map", "--map", "@/missing.bmp", "--png", "@/x.png"},
     "veltrip: Error on Fail in file open = 2: No such file or directory\n"
     "veltrip-cli render: cannot use the map @/missing.bmp\n", 1, {}},
    {"a missing receiver under de_DE", {"log", "--port", "@/no-such-device", "--seconds", "1", "@/log"},
     "veltrip-cli log: Kan @/no-such-device niet openen: No such file or directory\n", 1, {GERMAN}},
};

TEST(CliFailure, NamesTheFileAndTheSystemsReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&dir](const char* szName, const QByteArray& data) {
        QFile file(dir.filePath(QLatin1String(szName)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.gpd")));
    // Qt would warn about a missing one on stderr.
    const QString strRuntime = dir.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkdir(strRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    write("short.gpd", "GPD\r\n");
    write("broken.gpx", "<gpx><trk>");
    write("good.gpd", GpdImage({MakePoint(52.5f, 4.25f, 10, 5, 12, 0, 0)}));
    for (const CFailureCase& c : FAILURE_CASES) {
        SCOPED_TRACE(c.szWhat);
        QStringList args;
        for (const QString& strArg : c.args)
            args << QString(strArg).replace(QLatin1Char('@'), dir.path());
        const QStringList environment = c.environment + QStringList{QStringLiteral("XDG_RUNTIME_DIR=") + strRuntime};
        const CliRun run = RunCli(args, 60000, environment);
        EXPECT_EQ(run.nExit, c.nExit);
        EXPECT_EQ(run.strErr.toStdString(), QString(c.strErr).replace(QLatin1Char('@'), dir.path()).toStdString());
    }
}

}
