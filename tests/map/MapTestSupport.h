#pragma once

#include "map/CMapBitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// A BMP file built field by field, so tests can shape each header value.
struct CBmpLayout
{
    uint32_t nHeaderSize = 40;
    uint32_t nBitCount = 24;
    int32_t nWidth = 1;
    int32_t nHeight = 1;
    uint32_t nCompression = 0;
    uint32_t nColoursUsed = 0;
    QByteArray colourTable;   // raw entries (quads, or triples for the 12-byte header)
    QByteArray pixels;        // raw rows, padding included
};

QByteArray MakeBmp(const CBmpLayout& layout);

// Padded rows of a 24-bit image whose pixel (x, y), counted from the first row
// in the file, is (B, G, R) = (x, y, x + y).
QByteArray GradientRows24(int32_t nWidth, int32_t nRows);

bool WriteFile(const QString& strPath, const QByteArray& data);

// Host path of a file in the storage card's GPS folder.
QString CardGpsPath(const QString& strName);

// A sheet as the program reads it: calibration from the name, and the pixels.
struct CSheet
{
    std::unique_ptr<CMapBitmap> pMap;
    QImage image;
};

// The .bmp sheets of a folder; a test fails where one does not read.
std::vector<CSheet> ReadSheets(const QString& strDir);
