#include "map/CMapBitmap.h"
#include "map/DibFile.h"
#include "tests/common/TestSupport.h"
#include "tests/map/MapTestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString DAMAGED = QStringLiteral("Error on Bitmap file is damaged or unsupported = ");

QString BmpPath(const QString& strName)
{
    return CorpusDir() + QStringLiteral("/bmp/") + strName + QStringLiteral(".bmp");
}

// Decodes a file and expects either a picture and no message, or no picture
// and exactly one report.
QImage Load(const QString& strPath, QStringList* pMessages = nullptr)
{
    QImage image;
    const COutcome loaded = CreateDibFromFile(&image, strPath);
    EXPECT_EQ(bool(loaded), !image.isNull()) << qPrintable(strPath);
    EXPECT_EQ(loaded.Message().isEmpty(), bool(loaded)) << qPrintable(strPath);
    if (pMessages)
        *pMessages = loaded ? QStringList() : QStringList{loaded.Message()};
    return image;
}

QImage LoadBytes(const QByteArray& file, QStringList* pMessages = nullptr)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("t.bmp"));
    EXPECT_TRUE(WriteFile(strPath, file));
    return Load(strPath, pMessages);
}

QImage Rgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// ---- corpus ---------------------------------------------------------------

struct CGoodCase
{
    const char* szName;
    int nWidth, nHeight;
};

const CGoodCase GOOD_FILES[] = {
    {"g/pal1", 127, 64}, {"g/pal1bg", 127, 64}, {"g/pal1wb", 127, 64}, {"g/pal4", 127, 64},
    {"g/pal4gs", 127, 64}, {"g/pal8-0", 127, 64}, {"g/pal8", 127, 64}, {"g/pal8gs", 127, 64},
    {"g/pal8nonsquare", 127, 32}, {"g/pal8os2", 127, 64}, {"g/pal8topdown", 127, 64},
    {"g/pal8v4", 127, 64}, {"g/pal8v5", 127, 64}, {"g/pal8w124", 124, 61}, {"g/pal8w125", 125, 62},
    {"g/pal8w126", 126, 63}, {"g/rgb16-565", 127, 64}, {"g/rgb16-565pal", 127, 64}, {"g/rgb16", 127, 64},
    {"g/rgb16bfdef", 127, 64}, {"g/rgb24", 127, 64}, {"g/rgb24pal", 127, 64}, {"g/rgb32", 127, 64},
    {"g/rgb32bf", 127, 64}, {"g/rgb32bfdef", 127, 64},
};

// Run-length compressed files are not maps this loader takes.
const char* const COMPRESSED_GOOD_FILES[] = {"g/pal4rle", "g/pal8rle"};

TEST(DibCorpus, GoodFilesDecodeAtTheirSize)
{
    VELTRIP_REQUIRE_CORPUS();
    for (const CGoodCase& c : GOOD_FILES) {
        SCOPED_TRACE(c.szName);
        const QImage image = Load(BmpPath(QString::fromUtf8(c.szName)));
        EXPECT_EQ(image.size(), QSize(c.nWidth, c.nHeight));
    }
    for (const char* szName : COMPRESSED_GOOD_FILES) {
        QStringList messages;
        EXPECT_TRUE(Load(BmpPath(QString::fromUtf8(szName)), &messages).isNull()) << szName;
        EXPECT_TRUE(messages.value(0).startsWith(DAMAGED)) << szName;
    }
}

TEST(DibCorpus, GoodFilesKeepTheirDepth)
{
    VELTRIP_REQUIRE_CORPUS();
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/pal1"))).format(), QImage::Format_Mono);
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/pal8"))).format(), QImage::Format_Indexed8);
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/rgb16"))).format(), QImage::Format_RGB555);
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/rgb16-565"))).format(), QImage::Format_RGB16);
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/rgb24"))).format(), QImage::Format_BGR888);
    EXPECT_EQ(Load(BmpPath(QStringLiteral("g/rgb32"))).format(), QImage::Format_RGB32);
}

// Files whose pixels a peer decoder found identical, with the members this
// loader decodes (the compressed ones and the 16-byte OS/2 header left out).
const QStringList PIXEL_GROUPS[] = {
    {"g/pal8", "g/pal8-0", "g/pal8os2", "g/pal8topdown", "g/pal8v4", "g/pal8v5", "q/pal8offs",
     "q/pal8os2sp"},
    {"g/rgb24", "g/rgb24pal", "g/rgb32", "g/rgb32bf", "g/rgb32bfdef", "q/rgb24largepal", "q/rgb32-xbgr",
     "q/rgb32h52"},
    {"g/pal4"},
    {"g/pal1", "g/pal1wb"},
    {"g/rgb16", "g/rgb16bfdef", "q/rgb16faketrns"},
    {"g/rgb16-565", "g/rgb16-565pal"},
};

TEST(DibCorpus, GroupsDecodeToTheSamePixels)
{
    VELTRIP_REQUIRE_CORPUS();
    for (const QStringList& group : PIXEL_GROUPS) {
        const QImage reference = Rgb(Load(BmpPath(group.front())));
        ASSERT_FALSE(reference.isNull()) << qPrintable(group.front());
        for (const QString& strName : group)
            EXPECT_EQ(Rgb(Load(BmpPath(strName))), reference) << qPrintable(strName);
    }
}

// Qt's own reader agrees with the loader wherever it reads the file; at 16
// bits the two widen 5- and 6-bit channels to 8 bits with different rounding.
TEST(DibCorpus, PixelsMatchQtsReader)
{
    VELTRIP_REQUIRE_CORPUS();
    int nCompared = 0;
    for (const CGoodCase& c : GOOD_FILES) {
        const QString strPath = BmpPath(QString::fromUtf8(c.szName));
        const QImage qt(strPath, "BMP");
        if (qt.isNull())
            continue;
        const QImage decoded = Load(strPath);
        QImage image = Rgb(decoded);
        if (decoded.depth() == 16) {
            // Qt's reader shifts 5- and 6-bit channels up; the loader's image
            // also fills the low bits. The high bits agree.
            const QRgb nHigh = decoded.format() == QImage::Format_RGB16 ? 0xFFF8FCF8 : 0xFFF8F8F8;
            for (int y = 0; y < image.height(); ++y) {
                QRgb* pLine = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    pLine[x] &= nHigh;
            }
        }
        EXPECT_TRUE(image == Rgb(qt)) << c.szName;
        ++nCompared;
    }
    EXPECT_GE(nCompared, 20);
}

// Must be rejected: their damage leaves no picture to decode.
const char* const UNDECODABLE[] = {
    "b/badbitcount", "b/badheadersize", "b/badpalettesize", "b/badrle", "b/badrle4", "b/badrle4bis",
    "b/badrle4ter", "b/badrlebis", "b/badrleter", "b/badwidth", "b/reallybig", "b/rgb16-880",
    "b/rletopdown", "b/shortfile",
};

// Damaged only in fields the loader does not use.
const char* const DECODABLE_BAD[] = {
    "b/badbitssize", "b/baddens1", "b/baddens2", "b/badfilesize", "b/badplanes", "b/pal8badindex",
};

TEST(DibCorpus, BadFilesAreRejectedOrDecodedSafely)
{
    VELTRIP_REQUIRE_CORPUS();
    for (const char* szName : UNDECODABLE) {
        QStringList messages;
        EXPECT_TRUE(Load(BmpPath(QString::fromUtf8(szName)), &messages).isNull()) << szName;
        EXPECT_TRUE(messages.value(0).startsWith(DAMAGED)) << szName;
    }
    for (const char* szName : DECODABLE_BAD)
        EXPECT_EQ(Load(BmpPath(QString::fromUtf8(szName))).size(), QSize(127, 64)) << szName;

    // The file's table has 101 colours; the indices beyond it come out black.
    const QImage indexed = Load(BmpPath(QStringLiteral("b/pal8badindex")));
    const QImage rgb = Rgb(indexed);
    int nBeyond = 0;
    for (int y = 0; y < indexed.height(); ++y) {
        for (int x = 0; x < indexed.width(); ++x) {
            if (indexed.pixelIndex(x, y) >= 101) {
                ++nBeyond;
                EXPECT_EQ(rgb.pixel(x, y), qRgb(0, 0, 0));
            }
        }
    }
    EXPECT_GT(nBeyond, 0);
}

TEST(DibCorpus, EveryFileGivesAPictureOrOneReport)
{
    VELTRIP_REQUIRE_CORPUS();
    for (const char* szFolder : {"b", "q", "g"}) {
        const QDir dir(CorpusDir() + QStringLiteral("/bmp/") + QString::fromUtf8(szFolder));
        for (const QString& strName : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
            QStringList messages;
            const QImage image = Load(dir.filePath(strName), &messages);
            if (image.isNull()) {
                EXPECT_TRUE(messages.value(0).startsWith(QStringLiteral("Error on "))) << qPrintable(strName);
            }
        }
    }
}

// ---- shaped files ---------------------------------------------------------

// Pixel (x, y) of the upright picture for GradientRows24 rows stored
// bottom-up in a file of nRows rows.
QRgb Gradient(int x, int nFileRow)
{
    return qRgb((x + nFileRow) & 0xFF, nFileRow & 0xFF, x & 0xFF);
}

TEST(DibShaped, PaddedRowsShowUprightBothWays)
{
    CBmpLayout layout;
    layout.nWidth = 5;   // 15 bytes of pixels and one of padding per row
    layout.nHeight = 3;
    layout.pixels = GradientRows24(5, 3);
    const QImage bottomUp = LoadBytes(MakeBmp(layout));
    layout.nHeight = -3;
    const QImage topDown = LoadBytes(MakeBmp(layout));
    ASSERT_EQ(bottomUp.size(), QSize(5, 3));
    ASSERT_EQ(topDown.size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bottomUp.pixel(x, y), Gradient(x, 2 - y)) << x << "," << y;
            EXPECT_EQ(topDown.pixel(x, y), Gradient(x, y)) << x << "," << y;
        }
    }
}

TEST(DibShaped, CoreHeaderReadsTriples)
{
    CBmpLayout layout;
    layout.nHeaderSize = 12;
    layout.nBitCount = 1;
    layout.nWidth = 3;
    layout.nHeight = 2;
    layout.colourTable = QByteArray("\x10\x20\x30\x40\x50\x60", 6);
    layout.pixels = QByteArray("\x40\0\0\0\xA0\0\0\0", 8);   // bottom row 010, top row 101
    const QImage image = LoadBytes(MakeBmp(layout));
    ASSERT_EQ(image.size(), QSize(3, 2));
    const QRgb a = qRgb(0x30, 0x20, 0x10), b = qRgb(0x60, 0x50, 0x40);
    EXPECT_EQ(image.pixel(0, 0), b);
    EXPECT_EQ(image.pixel(1, 0), a);
    EXPECT_EQ(image.pixel(2, 0), b);
    EXPECT_EQ(image.pixel(0, 1), a);
    EXPECT_EQ(image.pixel(1, 1), b);

    layout.nBitCount = 24;   // no table at all
    layout.colourTable.clear();
    layout.pixels = GradientRows24(3, 2);
    EXPECT_EQ(LoadBytes(MakeBmp(layout)).pixel(2, 0), Gradient(2, 1));
}

TEST(DibShaped, ColourTableFollowsColoursUsed)
{
    CBmpLayout layout;
    layout.nBitCount = 8;
    layout.nWidth = 4;
    layout.nColoursUsed = 2;
    layout.colourTable = QByteArray("\x01\x02\x03\0\x04\x05\x06\0", 8);
    layout.pixels = QByteArray("\x00\x01\x02\xFF", 4);
    const QImage image = Rgb(LoadBytes(MakeBmp(layout)));
    ASSERT_EQ(image.size(), QSize(4, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(3, 2, 1));
    EXPECT_EQ(image.pixel(1, 0), qRgb(6, 5, 4));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));   // beyond the table
    EXPECT_EQ(image.pixel(3, 0), qRgb(0, 0, 0));

    // A table the file does not hold, from the bit count or from the field.
    layout.nColoursUsed = 0;
    EXPECT_TRUE(LoadBytes(MakeBmp(layout).left(14 + 40 + 8 + 4)).isNull());
    layout.nColoursUsed = 4;
    QStringList messages;
    EXPECT_TRUE(LoadBytes(MakeBmp(layout), &messages).isNull());
    EXPECT_TRUE(messages.value(0).startsWith(DAMAGED));
}

TEST(DibShaped, FourBitIndicesAreWidened)
{
    CBmpLayout layout;
    layout.nBitCount = 4;
    layout.nWidth = 3;
    QByteArray table(16 * 4, '\0');
    for (int i = 0; i < 16; ++i)
        table[4 * i + 2] = char(i * 16);   // red = index * 16
    layout.colourTable = table;
    layout.pixels = QByteArray("\x1F\x70\0\0", 4);
    const QImage image = LoadBytes(MakeBmp(layout));
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.pixelIndex(0, 0), 1);
    EXPECT_EQ(image.pixelIndex(1, 0), 15);
    EXPECT_EQ(image.pixelIndex(2, 0), 7);
    EXPECT_EQ(image.pixel(2, 0), qRgb(112, 0, 0));
}

TEST(DibShaped, BitFieldsAreRead)
{
    CBmpLayout layout;
    layout.nBitCount = 16;
    layout.nWidth = 2;
    layout.nCompression = 3;
    // 4-4-4 with red at the bottom; masks follow the 40-byte header.
    layout.colourTable = QByteArray("\x0F\0\0\0\xF0\0\0\0\0\x0F\0\0", 12);
    layout.pixels = QByteArray("\x0F\0\0\x0F", 4);
    const QImage image = Rgb(LoadBytes(MakeBmp(layout)));
    ASSERT_EQ(image.size(), QSize(2, 1));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255));

    // Overlapping, empty, split or too wide masks, and masks beyond the file.
    for (const QByteArray& masks : {QByteArray("\x0F\0\0\0\x1F\0\0\0\0\x0F\0\0", 12),
                                    QByteArray("\x0F\0\0\0\0\0\0\0\0\x0F\0\0", 12),
                                    QByteArray("\x05\0\0\0\xF0\0\0\0\0\x0F\0\0", 12),
                                    QByteArray("\x0F\0\0\0\xF0\0\0\0\0\0\x01\0", 12)}) {
        layout.colourTable = masks;
        EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull()) << masks.toHex().constData();
    }
    layout.colourTable.clear();
    layout.pixels.clear();
    EXPECT_TRUE(LoadBytes(MakeBmp(layout).left(14 + 40 + 8)).isNull());

    layout.nBitCount = 24;   // bit fields only at 16 and 32 bits
    layout.colourTable = QByteArray("\0\0\xFF\0\0\xFF\0\0\xFF\0\0\0", 12);
    layout.pixels = QByteArray(8, '\0');
    EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull());
}

TEST(DibShaped, SizesAreChecked)
{
    CBmpLayout layout;
    layout.nWidth = 30000;
    layout.pixels = QByteArray(90000, '\x7F');
    EXPECT_EQ(LoadBytes(MakeBmp(layout)).width(), 30000);
    const QByteArray whole = MakeBmp(layout);
    EXPECT_TRUE(LoadBytes(whole.left(whole.size() - 1)).isNull());   // one pixel byte short

    layout.nWidth = 30001;
    layout.pixels = QByteArray(90004, '\0');
    EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull());
    layout.nWidth = 1;
    layout.nHeight = -30001;
    layout.pixels = QByteArray(30001 * 4, '\0');
    EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull());
    layout.nHeight = 0;
    EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull());
    layout.nHeight = int32_t(0x80000000u);
    EXPECT_TRUE(LoadBytes(MakeBmp(layout)).isNull());

    // Header or pixel offset beyond the file.
    layout.nHeight = 1;
    layout.pixels = QByteArray(4, '\0');
    EXPECT_TRUE(LoadBytes(MakeBmp(layout).left(30)).isNull());
    QByteArray farPixels = MakeBmp(layout);
    farPixels[10] = '\xFF';
    farPixels[13] = '\x7F';
    EXPECT_TRUE(LoadBytes(farPixels).isNull());
}

TEST(DibShaped, FailuresReportTheirStep)
{
    struct CFailure
    {
        QByteArray file;
        const char* szText;
    };
    QTemporaryDir dir;
    const CFailure FAILURES[] = {
        {QByteArray("MB\0\0\0\0", 6), "Error on This is not a DIB bitmap file! = "},
        {QByteArray("B"), "Error on This is not a DIB bitmap file! = "},
        {QByteArray(), "Error on Fail in creating map file = "},
        {QByteArray("BM\0\0\0\0\0\0\0\0\0\0\0\0\x28\0", 16), "Error on Bitmap file is damaged or unsupported = "},
    };
    for (const CFailure& f : FAILURES) {
        QStringList messages;
        EXPECT_TRUE(LoadBytes(f.file, &messages).isNull());
        EXPECT_TRUE(messages.value(0).startsWith(QString::fromUtf8(f.szText))) << qPrintable(messages.value(0));
    }
    QStringList messages;
    EXPECT_TRUE(Load(dir.filePath(QStringLiteral("missing.bmp")), &messages).isNull());
    EXPECT_EQ(messages.value(0), QStringLiteral("Error on Fail in file open = 2\n"));
    // Only a regular file is opened at all.
    EXPECT_TRUE(Load(dir.path(), &messages).isNull());
    EXPECT_EQ(messages.value(0), QStringLiteral("Error on Fail in file open = 21\n"));
}

TEST(DibShaped, HeaderInfoIsReported)
{
    CBmpLayout layout;
    layout.nHeaderSize = 124;
    layout.nBitCount = 32;
    layout.nWidth = 2;
    layout.nHeight = -1;
    layout.pixels = QByteArray("\x01\x02\x03\x00\x04\x05\x06\x00", 8);
    const QByteArray file = MakeBmp(layout);
    QImage image;
    CDibInfo info;
    EXPECT_EQ(DecodeDib(reinterpret_cast<const uint8_t*>(file.constData()), size_t(file.size()), &image, &info),
              DIB_OK);
    EXPECT_EQ(info.nHeaderSize, 124u);
    EXPECT_EQ(info.nBitCount, 32u);
    EXPECT_EQ(info.nWidth, 2);
    EXPECT_EQ(info.nHeight, -1);
    EXPECT_EQ(image.pixel(1, 0), qRgb(6, 5, 4));   // the unused byte made opaque
}

// ---- the map record -------------------------------------------------------

// Maps written to the card's GPS folder and named by their device paths, as
// the catalogue names them.
class MapLoad : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (const QString& strFile : m_files)
            QFile::remove(strFile);
    }

    QString WriteMap(const QString& strName, int32_t nWidth, int32_t nHeight)
    {
        CBmpLayout layout;
        layout.nWidth = nWidth;
        layout.nHeight = nHeight;
        layout.pixels = GradientRows24(nWidth, nHeight);
        m_files.append(CardGpsPath(strName));
        EXPECT_TRUE(WriteFile(m_files.back(), MakeBmp(layout)));
        return QStringLiteral("\\Storage card\\GPS\\") + strName;
    }

    QStringList m_files;
};

TEST_F(MapLoad, CalibratedMapGetsDegreesPerPixel)
{
    CMapBitmap map;
    map.m_path = WriteMap(QStringLiteral("X4G50M_5G0MY52G20M_52G25M.bmp"), 120, 50);
    ASSERT_TRUE(map.ParseCalibration());
    map.m_zoom = 2.5;
    map.m_panX = 7;
    map.m_panY = -3;
    EXPECT_TRUE(map.LoadMapBitmap());
    EXPECT_EQ(map.m_hDib, &map.m_bitmap);
    EXPECT_EQ(map.m_width, 120u);
    EXPECT_EQ(map.m_height, 50u);
    EXPECT_DOUBLE_EQ(map.m_lonPerPixel, (5.0 - map.m_lonMin) / 120);
    EXPECT_DOUBLE_EQ(map.m_latPerPixel, (map.m_latMax - map.m_latMin) / 50);
    EXPECT_EQ(map.m_zoom, 1.0);
    EXPECT_EQ(map.m_panX, 0);
    EXPECT_EQ(map.m_panY, 0);
}

TEST_F(MapLoad, UncalibratedMapGetsOneDegreePerPixel)
{
    CMapBitmap map;
    map.m_path = WriteMap(QStringLiteral("harbour.bmp"), 3, 2);
    EXPECT_FALSE(map.ParseCalibration());
    EXPECT_TRUE(map.LoadMapBitmap());
    EXPECT_EQ(map.m_lonPerPixel, 1.0);
    EXPECT_EQ(map.m_latPerPixel, 1.0);
}

TEST_F(MapLoad, ReloadReplacesAndFailureClears)
{
    CMapBitmap map;
    map.m_path = WriteMap(QStringLiteral("X4G50M_5G0MY52G20M_52G25M.bmp"), 4, 4);
    map.ParseCalibration();
    ASSERT_TRUE(map.LoadMapBitmap());
    const qint64 nFirst = map.m_bitmap.cacheKey();
    ASSERT_TRUE(map.LoadMapBitmap());
    EXPECT_NE(map.m_bitmap.cacheKey(), nFirst);
    EXPECT_EQ(map.m_hDib, &map.m_bitmap);

    WriteFile(m_files.back(), "BM garbage");
    map.m_zoom = 3.0;
    EXPECT_FALSE(map.LoadMapBitmap().Message().isEmpty());
    EXPECT_EQ(map.m_hDib, nullptr);
    EXPECT_TRUE(map.m_bitmap.isNull());
    EXPECT_EQ(map.m_width, 0u);
    EXPECT_EQ(map.m_lonPerPixel, 1.0);
    EXPECT_EQ(map.m_latPerPixel, 1.0);
    EXPECT_EQ(map.m_zoom, 1.0);
}

}

namespace {

// A map that shrinks while it loads (a card pulled, a copy rewritten) gives the
// loader's report, never a crash: a child loads the map again and again while
// the file is cut to its headers and grown back.
TEST(DibShrinking, AMapThatShrinksWhileLoadingIsReportedNotFatal)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("shrinking.bmp"));
    CBmpLayout layout;
    layout.nWidth = 1500;
    layout.nHeight = 1500;
    layout.pixels = QByteArray(qsizetype(1500 * 3 + 0) * 1500, '\x5A');
    const QByteArray file = MakeBmp(layout);
    ASSERT_TRUE(WriteFile(strPath, file));

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        SetMessageHook([](const QString&) {});
        const QDeadlineTimer deadline(1500);
        while (!deadline.hasExpired()) {
            QImage image;
            CreateDibFromFile(&image, strPath);
        }
        _exit(0);
    }
    const int hFile = ::open(qPrintable(strPath), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(hFile, 0);
    int nStatus = 0;
    while (waitpid(pid, &nStatus, WNOHANG) == 0) {
        ASSERT_EQ(ftruncate(hFile, 100), 0);
        usleep(200);
        ASSERT_EQ(ftruncate(hFile, off_t(file.size())), 0);
        usleep(500);
    }
    ::close(hFile);
    EXPECT_TRUE(WIFEXITED(nStatus)) << "the loader died of signal " << (WIFSIGNALED(nStatus) ? WTERMSIG(nStatus) : 0);

    // Cut short for good: the loader's report.
    ASSERT_TRUE(WriteFile(strPath, file.left(file.size() / 2)));
    QStringList messages;
    EXPECT_TRUE(Load(strPath, &messages).isNull());
    EXPECT_TRUE(messages.value(0).startsWith(DAMAGED));
}

// Only a regular file is a map: a FIFO would block the load for ever, a
// device would feed it without end.
TEST(DibShaped, OnlyRegularFilesAreLoaded)
{
    QTemporaryDir dir;
    const QString strFifo = dir.filePath(QStringLiteral("X4G50M_5G0MY52G20M_52G25M.bmp"));
    ASSERT_EQ(mkfifo(qPrintable(strFifo), 0600), 0);
    const QString strZero = dir.filePath(QStringLiteral("zero.bmp"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), strZero));
    for (const QString& strPath : {strFifo, strZero}) {
        QStringList messages;
        EXPECT_TRUE(Load(strPath, &messages).isNull());
        EXPECT_EQ(messages.value(0), QStringLiteral("Error on Fail in file open = 22\n"));
    }
}

}
