#include "tests/map/MapTestSupport.h"

#include "platform/DevicePaths.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

void Put16(QByteArray& out, uint32_t n)
{
    out.append(char(n & 0xFF)).append(char(n >> 8 & 0xFF));
}

void Put32(QByteArray& out, uint32_t n)
{
    Put16(out, n & 0xFFFF);
    Put16(out, n >> 16);
}

}

QByteArray MakeBmp(const CBmpLayout& layout)
{
    QByteArray header;
    Put32(header, layout.nHeaderSize);
    if (layout.nHeaderSize == 12) {
        Put16(header, uint32_t(layout.nWidth));
        Put16(header, uint32_t(layout.nHeight));
        Put16(header, 1);
        Put16(header, layout.nBitCount);
    } else {
        Put32(header, uint32_t(layout.nWidth));
        Put32(header, uint32_t(layout.nHeight));
        Put16(header, 1);
        Put16(header, layout.nBitCount);
        Put32(header, layout.nCompression);
        Put32(header, uint32_t(layout.pixels.size()));
        Put32(header, 2835);
        Put32(header, 2835);
        Put32(header, layout.nColoursUsed);
        Put32(header, 0);
        header.append(QByteArray(int(layout.nHeaderSize) - header.size(), '\0'));
    }
    const uint32_t nOffset = uint32_t(14 + header.size() + layout.colourTable.size());
    QByteArray file("BM");
    Put32(file, nOffset + uint32_t(layout.pixels.size()));
    Put32(file, 0);
    Put32(file, nOffset);
    return file + header + layout.colourTable + layout.pixels;
}

QByteArray GradientRows24(int32_t nWidth, int32_t nRows)
{
    const int32_t nStride = (nWidth * 24 + 31) / 32 * 4;
    QByteArray rows(nStride * nRows, '\0');
    for (int32_t y = 0; y < nRows; ++y) {
        for (int32_t x = 0; x < nWidth; ++x) {
            char* p = rows.data() + y * nStride + 3 * x;
            p[0] = char(x);
            p[1] = char(y);
            p[2] = char(x + y);
        }
    }
    return rows;
}

bool WriteFile(const QString& strPath, const QByteArray& data)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QString CardGpsPath(const QString& strName)
{
    return HostPath(QStringLiteral("\\Storage card\\GPS\\") + strName);
}

std::vector<CSheet> ReadSheets(const QString& strDir)
{
    std::vector<CSheet> sheets;
    for (const QString& strName : QDir(strDir).entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        CSheet sheet {std::make_unique<CMapBitmap>(), QImage(QDir(strDir).filePath(strName))};
        sheet.pMap->m_path = QDir(strDir).filePath(strName);
        EXPECT_TRUE(sheet.pMap->ParseCalibration()) << strName.toStdString();
        EXPECT_FALSE(sheet.image.isNull()) << strName.toStdString();
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}
