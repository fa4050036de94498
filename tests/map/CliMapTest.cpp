#include "tests/common/TestSupport.h"
#include "tests/map/MapTestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct CCliResult
{
    int nExitCode = -1;
    QString out;
    QString err;
};

CCliResult RunMap(const QStringList& args, const QString& strFolder)
{
    QProcess process;
    process.setWorkingDirectory(strFolder);
    process.start(QStringLiteral(VELTRIP_BINARY_DIR "/tools/veltrip-cli"), QStringList {QStringLiteral("map")} + args);
    CCliResult result;
    if (!process.waitForStarted(10000) || !process.waitForFinished(30000))
        return result;
    result.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The temporary folder's own name may hold an X, which would start a
// calibration; a folder of our own naming keeps the test's names in charge.
class CliMap : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("maps"))); }

    QString MapPath(const QString& strName) const
    {
        return QStringLiteral("maps/") + strName;
    }

    CCliResult Run(const QStringList& args) const { return RunMap(args, m_dir.path()); }

    QTemporaryDir m_dir;
};

TEST_F(CliMap, PrintsCalibrationSizeAndScale)
{
    CBmpLayout layout;
    layout.nWidth = 5;
    layout.nHeight = -3;
    layout.pixels = GradientRows24(5, 3);
    ASSERT_TRUE(WriteFile(m_dir.filePath(MapPath(QStringLiteral("X4G50M_5G0MY52G20M_52G25M.bmp"))), MakeBmp(layout)));

    const CCliResult result = Run({MapPath(QStringLiteral("X4G50M_5G0MY52G20M_52G25M.bmp")),
                                   QStringLiteral("--png"), QStringLiteral("out.png")});
    EXPECT_EQ(result.nExitCode, 0) << qPrintable(result.err);
    EXPECT_EQ(result.out,
              QStringLiteral("calibration: longitude 4.83333333 to 5, latitude 52.3333333 to 52.4166667\n"
                             "bitmap: width 5, height 3, bit count 24, header size 40, top-down rows\n"
                             "per pixel: longitude 0.0333333333, latitude 0.0277777778 degrees\n"));
    const QImage png(m_dir.filePath(QStringLiteral("out.png")));
    ASSERT_EQ(png.size(), QSize(5, 3));
    EXPECT_EQ(png.pixel(4, 0), qRgb(4, 0, 4));   // top row first, not sheared
    EXPECT_EQ(png.pixel(1, 2), qRgb(3, 2, 1));
}

TEST_F(CliMap, UncalibratedNameAndBrokenFile)
{
    ASSERT_TRUE(WriteFile(m_dir.filePath(MapPath(QStringLiteral("harbour.bmp"))), "BM broken"));
    const CCliResult result = Run({MapPath(QStringLiteral("harbour.bmp"))});
    EXPECT_EQ(result.nExitCode, 1);
    EXPECT_EQ(result.out, QStringLiteral("calibration: none (the name has no upper-case X)\n"));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Error on Bitmap file is damaged or unsupported = ")))
        << qPrintable(result.err);

    EXPECT_EQ(Run({}).nExitCode, 2);
    EXPECT_EQ(Run({QStringLiteral("a.bmp"), QStringLiteral("--png")}).nExitCode, 2);
    EXPECT_EQ(Run({QStringLiteral("--help")}).nExitCode, 0);
}

// The calibration comes from the file name alone for a file outside the
// storage card: a folder such as Xena plays no part.
TEST_F(CliMap, HostFoldersDoNotCalibrate)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("Xena/maps")));
    CBmpLayout layout;
    layout.nWidth = 2;
    layout.nHeight = 2;
    layout.pixels = GradientRows24(2, 2);
    ASSERT_TRUE(WriteFile(m_dir.filePath(QStringLiteral("Xena/maps/harbour.bmp")), MakeBmp(layout)));
    ASSERT_TRUE(WriteFile(m_dir.filePath(QStringLiteral("Xena/maps/X4G50M_5G0MY52G20M_52G25M.bmp")), MakeBmp(layout)));

    CCliResult result = Run({QStringLiteral("Xena/maps/harbour.bmp")});
    EXPECT_EQ(result.nExitCode, 0) << qPrintable(result.err);
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("calibration: none"))) << qPrintable(result.out);
    result = Run({m_dir.filePath(QStringLiteral("Xena/maps/X4G50M_5G0MY52G20M_52G25M.bmp"))});
    EXPECT_TRUE(result.out.startsWith(QStringLiteral("calibration: longitude 4.83333333 to 5, latitude 52.3333333")))
        << qPrintable(result.out);
}

TEST_F(CliMap, OnlyRegularFilesAreRead)
{
    ASSERT_EQ(mkfifo(qPrintable(m_dir.filePath(QStringLiteral("fifo.bmp"))), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), m_dir.filePath(QStringLiteral("zero.bmp"))));
    for (const QString& strName : {QStringLiteral("fifo.bmp"), QStringLiteral("zero.bmp")}) {
        const CCliResult result = Run({strName});
        EXPECT_EQ(result.nExitCode, 1) << qPrintable(strName);
        EXPECT_EQ(result.err, QStringLiteral("veltrip-cli map: cannot read %1: not a regular file\n").arg(strName));
    }
}

}
