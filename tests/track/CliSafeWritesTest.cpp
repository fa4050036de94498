// Writes that nothing outside can turn against the user, at the tools' seams:
// recovery never writes through a link, memory that runs out while reading
// is a message, a stop signal or a killed run leaves no temporary behind,
// and no home folder means no storage card at the file system's root.
#include "tests/common/TestSupport.h"
#include "tests/track/TrackTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool WITH_ASAN = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool WITH_ASAN = true;
#else
constexpr bool WITH_ASAN = false;
#endif
#else
constexpr bool WITH_ASAN = false;
#endif

// A user id the password database does not know.
constexpr uid_t TEST_UNKNOWN_UID = 54321;
// Records for a log that, held in memory whole, takes more than the
// address space the recovery run below may use.
constexpr int TEST_BIG_LOG_BLOCKS = 7000;
constexpr int TEST_BLOCK_POINTS = 1000;
constexpr rlim_t TEST_RECOVER_SPACE = 400'000'000;
constexpr rlim_t TEST_READ_SPACE = 1'000'000'000;

struct CProgramRun
{
    int nExit = -1;       // -1: ended by a signal
    int nSignal = 0;
    QString strErr;
};

// Runs a program with some variables removed and the child set up by
// prepare (limits, user), as a shell's env -u, prlimit or setpriv would.
CProgramRun RunProgram(const QString& strProgram, const QStringList& args, const QStringList& unset,
                       const QStringList& set, const std::function<void()>& prepare = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& strName : unset)
        env.remove(strName);
    for (const QString& strEntry : set)
        env.insert(strEntry.section(QLatin1Char('='), 0, 0), strEntry.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    if (prepare)
        process.setChildProcessModifier(prepare);
    process.start(strProgram, args);
    CProgramRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.strErr = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QString WINDOW = QStringLiteral(VELTRIP_BINARY_DIR "/app/veltrip");

class CliSafeWrites : public CliFolderTest
{
protected:
    // A GPD file of nBlocks thousand points, one a second.
    QString WriteBigGpd(const QString& strName, int nBlocks) const
    {
        CTrackPointList block;
        for (int i = 0; i < TEST_BLOCK_POINTS; ++i)
            block.push_back(MakePoint(52.0f + float(i) * 1e-5f, 4.0f, 1, 2, 12, i / 60 % 60, i % 60));
        const QByteArray records = GpdImage(block).mid(10);
        QFile file(Path(strName));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GpdImage({}));
        for (int i = 0; i < nBlocks; ++i)
            file.write(records);
        return file.fileName();
    }

    QStringList Temporaries(const QString& strTarget) const
    {
        return QDir(m_dir.path()).entryList({QLatin1Char('.') + strTarget + QStringLiteral(".*")},
                                            QDir::Files | QDir::Hidden);
    }
};

// Start-up recovery and recover write only the program's own regular files:
// a link (to a file of the user's, or to nothing) or anything else in the
// copy's place is left alone and named. A broken copy of our own is
// rewritten as before.
TEST_F(CliSafeWrites, RecoverNeverWritesThroughALink)
{
    const QString strNotes = Write(QStringLiteral("notes.txt"), "my notes\n");
    const struct {
        const char* pszCase;
        std::function<void(const QString&)> make;
        bool bLeftAlone;
    } CASES[] = {
        {"link to a file", [&](const QString& strKml) { QFile::link(strNotes, strKml); }, true},
        {"link to nothing", [&](const QString& strKml) { QFile::link(Path(QStringLiteral("none")), strKml); }, true},
        {"folder", [](const QString& strKml) { QDir().mkpath(strKml); }, true},
        {"pipe", [](const QString& strKml) { ::mkfifo(QFile::encodeName(strKml).constData(), 0644); }, true},
        {"broken copy", [](const QString& strKml) {
             QFile file(strKml);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write("<kml><Document>");
         }, false},
    };
    int nRun = 0;
    for (const auto& c : CASES) {
        const QString strGps = Path(QStringLiteral("GPS%1").arg(++nRun));
        ASSERT_TRUE(QDir().mkpath(strGps));
        QFile::copy(Write(QStringLiteral("log.gpd"), GpdImage({MakePoint(52, 4, 0, 0, 12, 0)})),
                    strGps + QStringLiteral("/GPSLog_2026-01-01_1200.gpd"));
        const QString strKml = strGps + QStringLiteral("/GPSLog_2026-01-01_1200.kml");
        c.make(strKml);
        const CliRun run = RunCli({QStringLiteral("recover"), strGps});
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(strKml).constData(), &st), 0) << c.pszCase;
        if (c.bLeftAlone) {
            EXPECT_EQ(run.nExit, 1) << c.pszCase;
            EXPECT_EQ(run.strErr, QStringLiteral("veltrip-cli recover: %1 is a link or not a regular file: left alone\n")
                                      .arg(strKml))
                << c.pszCase;
            EXPECT_FALSE(S_ISREG(st.st_mode)) << c.pszCase;
        } else {
            EXPECT_EQ(run.nExit, 0) << c.pszCase;
            EXPECT_TRUE(ReadAll(strKml).endsWith("</Document></kml>\n")) << c.pszCase;
        }
        EXPECT_TRUE(QDir(strGps).entryList({QStringLiteral(".*.kml.*")}, QDir::Files | QDir::Hidden).isEmpty());
    }
    EXPECT_EQ(ReadAll(strNotes), QByteArray("my notes\n"));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("none"))));
}

// Every command that reads a track says when memory runs out and exits 1;
// recovery holds a piece of the log, not the log, and so recovers a log
// larger than the memory it may use.
TEST_F(CliSafeWrites, OutOfMemoryIsAMessage)
{
    if (WITH_ASAN)
        GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
    // 20 million points in 80 MB: more than 1 GB as a track in memory.
    QByteArray dense = "<kml><Placemark><LineString><coordinates>\n";
    dense += QByteArray("1,1 ").repeated(20'000'000);
    dense += "</coordinates></LineString></Placemark></kml>\n";
    const QString strDense = Write(QStringLiteral("dense.kml"), dense);
    dense.clear();
    const QString strMessage = QStringLiteral(": Not enough memory to read %1\n").arg(strDense);
    const struct {
        QStringList args;
        const char* pszCommand;
    } CASES[] = {
        {{QStringLiteral("info"), strDense}, "info"},
        {{QStringLiteral("info"), QStringLiteral("--json"), strDense}, "info"},
        {{QStringLiteral("convert"), strDense, Path(QStringLiteral("out.gpx"))}, "convert"},
    };
    const auto limitSpace = [](rlim_t nBytes) {
        return [nBytes] {
            const rlimit limit{nBytes, nBytes};
            ::setrlimit(RLIMIT_AS, &limit);
        };
    };
    for (const auto& c : CASES) {
        const CProgramRun run = RunProgram(CliProgram(), c.args, {}, {}, limitSpace(TEST_READ_SPACE));
        EXPECT_EQ(run.nExit, 1) << c.pszCommand;
        EXPECT_EQ(run.strErr, QStringLiteral("veltrip-cli ") + QLatin1String(c.pszCommand) + strMessage);
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.gpx"))));

    const QString strGps = Path(QStringLiteral("GPS"));
    ASSERT_TRUE(QDir().mkpath(strGps));
    QFile::rename(WriteBigGpd(QStringLiteral("big.gpd"), TEST_BIG_LOG_BLOCKS),
                  strGps + QStringLiteral("/GPSLog_2026-01-01_1200.gpd"));
    const CProgramRun recover =
        RunProgram(CliProgram(), {QStringLiteral("recover"), strGps}, {}, {}, limitSpace(TEST_RECOVER_SPACE));
    EXPECT_EQ(recover.nExit, 0) << recover.strErr.toStdString();
    const QByteArray tail = ReadAll(strGps + QStringLiteral("/GPSLog_2026-01-01_1200.kml")).right(18);
    EXPECT_EQ(tail, QByteArray("</Document></kml>\n"));
}

// A stop signal during a write removes its temporary before the program
// ends; the next write into a folder removes what a process that no longer
// runs left there, and only that.
TEST_F(CliSafeWrites, NoTemporaryIsLeft)
{
    const QString strBig = WriteBigGpd(QStringLiteral("big.gpd"), TEST_BIG_LOG_BLOCKS);
    const int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
    for (int nSignal : SIGNALS) {
        QProcess convert;
        convert.start(CliProgram(), {QStringLiteral("convert"), strBig, Path(QStringLiteral("out.gpx"))});
        ASSERT_TRUE(convert.waitForStarted());
        for (int i = 0; i < 6000 && Temporaries(QStringLiteral("out.gpx")).isEmpty(); ++i)
            QThread::msleep(5);
        ASSERT_FALSE(Temporaries(QStringLiteral("out.gpx")).isEmpty()) << "the write did not begin";
        ::kill(pid_t(convert.processId()), nSignal);
        ASSERT_TRUE(convert.waitForFinished(60000));
        EXPECT_EQ(convert.exitStatus(), QProcess::CrashExit) << nSignal;
        EXPECT_EQ(Temporaries(QStringLiteral("out.gpx")), QStringList()) << nSignal;
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.gpx")))) << nSignal;
    }

    // A process that has ended: its id names nobody now.
    const pid_t nGone = ::fork();
    if (nGone == 0)
        ::_exit(0);
    ::waitpid(nGone, nullptr, 0);
    const struct {
        QString strName;
        bool bRemoved;
    } CASES[] = {
        {QStringLiteral(".track.gpx.%1-0").arg(nGone), true},
        {QStringLiteral(".other name.kml.%1-17").arg(nGone), true},
        {QStringLiteral(".track.gpx.1-0"), false},                        // a process that runs
        {QStringLiteral(".track.gpx.%1-0").arg(::getpid()), false},       // this one
        {QStringLiteral(".track.gpx.%1").arg(nGone), false},              // not our pattern
        {QStringLiteral("track.gpx.%1-0").arg(nGone), false},
    };
    for (const auto& c : CASES)
        Write(c.strName, "left\n");
    ASSERT_EQ(RunCli({QStringLiteral("convert"), Write(QStringLiteral("in.gpd"), GpdImage({})),
                      Path(QStringLiteral("new.kml"))})
                  .nExit,
              0);
    for (const auto& c : CASES)
        EXPECT_EQ(QFile::exists(Path(c.strName)), !c.bRemoved) << c.strName.toStdString();
}

// Without HOME naming a folder the home folder comes from the password
// database; with none there either, the window and the commands that write
// on the card say so and end before they write anything.
TEST_F(CliSafeWrites, NoHomeFolderNoStorageCard)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run as a user the password database does not know";
    const QString strFile = Write(QStringLiteral("a file"), "not a folder\n");
    const QString strMessage = QStringLiteral(": No home folder for the storage card: HOME is not a folder and the "
                                              "password database names none (set HOME or VELTRIP_STORAGE_CARD)\n");
    const auto asUnknownUser = [] {
        if (::setgid(TEST_UNKNOWN_UID) != 0 || ::setuid(TEST_UNKNOWN_UID) != 0)
            ::_exit(99);
    };
    const struct {
        QString strProgram;
        QStringList args;
        QStringList set;
        QString strSays;
    } CASES[] = {
        {CliProgram(), {QStringLiteral("recover")}, {}, QStringLiteral("veltrip-cli recover")},
        {CliProgram(), {QStringLiteral("recover")}, {QStringLiteral("HOME=") + strFile}, QStringLiteral("veltrip-cli recover")},
        {CliProgram(), {QStringLiteral("log"), QStringLiteral("--seconds"), QStringLiteral("1")}, {},
         QStringLiteral("veltrip-cli log")},
        {CliProgram(), {QStringLiteral("map-import"), strFile}, {QStringLiteral("HOME=/nonexistent")},
         QStringLiteral("veltrip-cli map-import")},
        {WINDOW, {}, {QStringLiteral("QT_QPA_PLATFORM=offscreen")}, QStringLiteral("veltrip")},
    };
    for (const auto& c : CASES) {
        const CProgramRun run = RunProgram(c.strProgram, c.args, {QStringLiteral("HOME"), QStringLiteral("VELTRIP_STORAGE_CARD")},
                                           c.set, asUnknownUser);
        EXPECT_EQ(run.nExit, 1) << c.strSays.toStdString() << c.set.join(' ').toStdString();
        EXPECT_EQ(run.strErr, c.strSays + strMessage) << c.set.join(' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/Storage card")));

    // HOME that names a folder holds the card.
    const QString strGps = Path(QStringLiteral("home/Storage card/GPS"));
    ASSERT_TRUE(QDir().mkpath(strGps));
    QFile::copy(Write(QStringLiteral("log.gpd"), GpdImage({MakePoint(52, 4, 0, 0, 12, 0)})),
                strGps + QStringLiteral("/GPSLog_2026-01-01_1200.gpd"));
    const CProgramRun home = RunProgram(CliProgram(), {QStringLiteral("recover")}, {QStringLiteral("VELTRIP_STORAGE_CARD")},
                                        {QStringLiteral("HOME=") + Path(QStringLiteral("home"))});
    EXPECT_EQ(home.nExit, 0) << home.strErr.toStdString();
    EXPECT_TRUE(QFile::exists(strGps + QStringLiteral("/GPSLog_2026-01-01_1200.kml")));
}

}
