// What the programs load: GDAL only when a map is imported, Qt Network only
// when a sheet is made from tiles, Qt Gui only for the commands that paint or
// make maps, and every other command working without these modules.
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

const QString CLI = BuildDir() + QStringLiteral("/tools/veltrip-cli");
const QString SAMPLE = QStringLiteral(VELTRIP_SOURCE_DIR "/data/sample.nmea");
const QString GUI_MODULE = QStringLiteral("veltrip-cli-gui.so");
const QString MAPIMPORT_MODULE = QStringLiteral("veltrip-mapimport.so");
const QString GDAL_LIBRARY = QStringLiteral("libgdal.so");
const QString GUI_LIBRARY = QStringLiteral("libQt6Gui.so");
const QString NETWORK_LIBRARY = QStringLiteral("libQt6Network.so");
constexpr int RUN_TIMEOUT_MS = 60000;
constexpr char NEEDS_GDAL[] = "veltrip-cli map-import: Map import needs GDAL (Debian: libgdal32)\n";
constexpr char NEEDS_NETWORK[] = "veltrip-cli map-online: Online maps need Qt Network (Debian: libqt6network6): ";
// A sheet from a port nobody listens on: the module is loaded, the run fails.
const QStringList ONLINE_ARGS = {"map-online", "--at", "52,5", "--url", "http://127.0.0.1:1/{z}/{x}/{y}.png",
                                 "--dir", "online", "--cache", "online"};

struct CRun
{
    int nExit = -1;
    QString strErr;
};

CRun RunProgram(const QString& strProgram, const QStringList& args, const QString& strDir,
         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(strDir);
    process.start(strProgram, args);
    process.waitForFinished(RUN_TIMEOUT_MS);
    CRun run;
    run.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.strErr = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// Every shared object a run of veltrip-cli loaded, as the dynamic loader
// lists them (those opened on demand included).
QStringList LoadedObjects(const QStringList& args, const QString& strDir)
{
    const QString strLogDir = strDir + QStringLiteral("/ld");
    QDir(strLogDir).removeRecursively();
    QDir().mkpath(strLogDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
    env.insert(QStringLiteral("LD_DEBUG_OUTPUT"), strLogDir + QStringLiteral("/run"));
    RunProgram(CLI, args, strDir, env);
    QStringList objects;
    const QRegularExpression file(QStringLiteral("file=(\\S+)"));
    for (const QString& strName : QDir(strLogDir).entryList(QDir::Files)) {
        QFile log(strLogDir + '/' + strName);
        if (!log.open(QIODevice::ReadOnly))
            continue;
        for (auto it = file.globalMatch(QString::fromLocal8Bit(log.readAll())); it.hasNext();)
            objects << it.next().captured(1);
    }
    return objects;
}

bool Names(const QStringList& objects, const QString& strLibrary)
{
    return std::any_of(objects.begin(), objects.end(),
                       [&](const QString& strObject) { return strObject.contains(strLibrary); });
}

class ModuleLoadingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(RunProgram(CLI, {QStringLiteral("record"), SAMPLE, QStringLiteral("track")}, m_dir.path()).nExit, 0);
    }

    QTemporaryDir m_dir;
};

struct CLoadCase
{
    const char* szName;
    QStringList args;
    bool bGui;    // loads Qt Gui
    bool bGdal;   // loads GDAL
    bool bNetwork = false;
};

TEST_F(ModuleLoadingTest, OnlyTheCommandsThatPaintOrMakeMapsLoadQtGuiAndOnlyMapImportLoadsGdal)
{
    const CLoadCase cases[] = {
        {"decode", {"decode", SAMPLE}, false, false},
        {"record", {"record", SAMPLE, "again"}, false, false},
        {"info", {"info", "track.gpd"}, false, false},
        {"convert", {"convert", "track.gpd", "copy.gpx"}, false, false},
        {"log", {"log", "--port", "tcp://127.0.0.1:1", "--seconds", "1", "logged"}, false, false},
        {"recover", {"recover", "."}, false, false},
        {"help", {"--help"}, false, false},
        {"render", {"render", "data", "--png", "data.png"}, true, false},
        {"map", {"map", "--help"}, true, false},
        {"map-import", {"map-import", SAMPLE, "--dry-run"}, true, true},
        {"map-online help", {"map-online", "--help"}, true, false},
        {"map-online", ONLINE_ARGS, true, false, true},
    };
    for (const CLoadCase& c : cases) {
        const QStringList objects = LoadedObjects(c.args, m_dir.path());
        ASSERT_FALSE(objects.isEmpty()) << c.szName << ": the loader listed nothing";
        EXPECT_EQ(Names(objects, GUI_LIBRARY), c.bGui) << c.szName;
        EXPECT_EQ(Names(objects, GDAL_LIBRARY), c.bGdal) << c.szName;
        EXPECT_EQ(Names(objects, NETWORK_LIBRARY), c.bNetwork) << c.szName;
    }
}

struct CLinkCase
{
    const char* szProgram;
    bool bGui;
};

TEST(ModuleLinkTest, NoProgramNeedsGdalOrQtNetworkAndTheToolsNeedNoQtGui)
{
    const CLinkCase cases[] = {
        {"tools/veltrip-cli", false},
        {"tools/veltrip-sim", false},
        {"app/veltrip", true},
    };
    for (const CLinkCase& c : cases) {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {BuildDir() + '/' + c.szProgram});
        ASSERT_TRUE(ldd.waitForFinished(RUN_TIMEOUT_MS)) << "ldd did not run";
        const QString strNeeded = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        ASSERT_TRUE(strNeeded.contains(QStringLiteral("libc.so"))) << c.szProgram << ": " << strNeeded.toStdString();
        EXPECT_FALSE(strNeeded.contains(GDAL_LIBRARY)) << c.szProgram;
        EXPECT_FALSE(strNeeded.contains(NETWORK_LIBRARY)) << c.szProgram;
        EXPECT_EQ(strNeeded.contains(GUI_LIBRARY), c.bGui) << c.szProgram;
    }
}

// A program finds its modules beside it in the build, as in the package's
// private folder; a module missing there fails only when first needed.
TEST(ModuleLinkTest, EveryProgramHasTheModulesItLoadsBesideIt)
{
    const struct
    {
        const char* szProgram;
        QStringList modules;
    } cases[] = {
        {"tools/veltrip-cli", {"veltrip-cli-gui.so", "veltrip-mapimport.so", "veltrip-online.so", "veltrip-modem.so"}},
        {"app/veltrip", {"veltrip-mapimport.so", "veltrip-online.so", "veltrip-modem.so"}},
    };
    for (const auto& c : cases) {
        const QString strFolder = QFileInfo(BuildDir() + '/' + c.szProgram).absolutePath();
        for (const QString& strModule : c.modules)
            EXPECT_TRUE(QFileInfo::exists(strFolder + '/' + strModule)) << c.szProgram << ": " << strModule.toStdString();
    }
}

struct CMissingCase
{
    const char* szName;
    bool bGuiModule;            // veltrip-cli-gui.so beside the program
    const char* szMapImport;    // the bytes of veltrip-mapimport.so beside it, or none
    QStringList args;
    int nExit;
    const char* szErr;          // how standard error starts
};

TEST(ModuleMissingTest, MapImportSaysItNeedsGdalAndTheOtherCommandsWork)
{
    const CMissingCase cases[] = {
        {"no map import module", true, nullptr, {"map-import", SAMPLE}, 1, NEEDS_GDAL},
        {"a module that does not load", true, "not a shared object", {"map-import", SAMPLE, "--dry-run"}, 1,
         NEEDS_GDAL},
        {"render without the module", false, nullptr, {"render", "data", "--png", "data.png"}, 1,
         "veltrip-cli render: cannot load veltrip-cli-gui.so: "},
        {"decode without any module", false, nullptr, {"decode", SAMPLE}, 0, ""},
        {"record without any module", false, nullptr, {"record", SAMPLE, "t"}, 0, ""},
        {"map import help without GDAL", true, nullptr, {"map-import", "--help"}, 0, ""},
        {"no online maps module", true, nullptr, ONLINE_ARGS, 1, NEEDS_NETWORK},
    };
    for (const CMissingCase& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString strCli = dir.filePath(QStringLiteral("veltrip-cli"));
        ASSERT_TRUE(QFile::copy(CLI, strCli));
        if (c.bGuiModule) {
            ASSERT_TRUE(QFile::copy(BuildDir() + QStringLiteral("/tools/") + GUI_MODULE, dir.filePath(GUI_MODULE)));
        }
        if (c.szMapImport) {
            QFile module(dir.filePath(MAPIMPORT_MODULE));
            ASSERT_TRUE(module.open(QIODevice::WriteOnly));
            module.write(c.szMapImport);
        }
        const CRun run = RunProgram(strCli, c.args, dir.path());
        EXPECT_EQ(run.nExit, c.nExit) << c.szName << ": " << run.strErr.toStdString();
        EXPECT_EQ(run.strErr.left(qsizetype(std::strlen(c.szErr))).toStdString(), c.szErr) << c.szName;
    }
}

}
