#pragma once

#include "platform/Outcome.h"

#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

// What a BMP file's headers say, for reports and tools.
struct CDibInfo
{
    uint32_t nHeaderSize = 0;   // 12 (core), 40, 52, 56, 108 or 124
    uint32_t nBitCount = 0;
    int32_t nWidth = 0;
    int32_t nHeight = 0;        // as stored: negative for top-down rows
};

enum EDibResult
{
    DIB_OK,
    DIB_NOT_BMP,      // no "BM" signature
    DIB_DAMAGED,      // header, colour table, masks or pixels out of the file, or an unsupported form
    DIB_NO_MEMORY,    // the image could not be allocated
};

// Decodes a whole BMP file held in memory into an upright image of the file's
// depth: 1 bit -> Mono, 4 and 8 bits -> Indexed8 (colour table padded to the
// full index range with black), 16 bits 5-5-5 / 5-6-5 -> RGB555 / RGB16,
// 24 bits -> BGR888, 32 bits -> RGB32; other bit-field layouts become RGB32.
// Everything read is checked against nSize first. pInfo may be null and is
// filled as far as the headers could be read.
EDibResult DecodeDib(const uint8_t* pbyFile, size_t nSize, QImage* pDib, CDibInfo* pInfo);

// Reads strPath (a regular file only) and decodes it into *pDib, the rows
// read straight into the image. Every failure, a file that shrinks during
// the load included, fails with "Error on <text> = <errno>" and leaves *pDib
// null.
COutcome CreateDibFromFile(QImage* pDib, const QString& strPath, CDibInfo* pInfo = nullptr);
