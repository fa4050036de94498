#include "map/DibFile.h"

#include "platform/InputFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr size_t DIB_FILE_HEADER = 14;
constexpr uint32_t DIB_CORE_HEADER = 12;
constexpr uint32_t DIB_INFO_HEADER = 40;
constexpr int64_t DIB_MAX_SIDE = 30000;
constexpr uint32_t DIB_BI_RGB = 0;
constexpr uint32_t DIB_BI_BITFIELDS = 3;
constexpr size_t DIB_MAX_MESSAGE = 127;   // the report's text fits 128 wide characters
// Every header field, colour entry and mask the decoder reads lies in the
// first 14 + 124 + 256 * 4 bytes of a file.
constexpr size_t DIB_HEAD_BLOCK = 2048;

// Information headers that share the 40-byte layout; the longer ones carry
// the masks inside the header, at offset 40.
constexpr std::array<uint32_t, 5> DIB_INFO_SIZES = {40, 52, 56, 108, 124};

uint32_t Read16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t Read32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Inside(uint64_t nOffset, uint64_t nLength, size_t nSize)
{
    return nOffset <= nSize && nLength <= nSize - nOffset;
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct CChannel
{
    uint32_t nMask = 0;
    int nShift = 0;
    int nBits = 0;

    bool Set(uint32_t nNewMask)
    {
        nMask = nNewMask;
        if (!nMask)
            return false;
        nShift = __builtin_ctz(nMask);
        const uint32_t nRun = nMask >> nShift;
        nBits = __builtin_popcount(nRun);
        return (nRun & (nRun + 1)) == 0;   // contiguous bits only
    }

    uint32_t Scale(uint32_t nPixel) const
    {
        const uint32_t v = (nPixel & nMask) >> nShift;
        if (nBits >= 8)
            return v >> (nBits - 8);
        const uint32_t nMax = (1u << nBits) - 1;
        return (v * 255 + nMax / 2) / nMax;
    }
};

enum EPixelLayout
{
    LAYOUT_COPY,        // rows copied as they are
    LAYOUT_NIBBLES,     // 4 bits per index, widened to 8
    LAYOUT_RGB555,      // copied with the unused top bit cleared
    LAYOUT_XRGB,        // copied with the unused byte made opaque
    LAYOUT_MASKS,       // any other bit fields, converted to RGB32
};

struct CDibLayout
{
    uint32_t nBitCount = 0;
    int32_t nWidth = 0;
    int32_t nRows = 0;
    bool bTopDown = false;
    uint32_t nPixelOffset = 0;
    uint64_t nStride = 0;
    EPixelLayout layout = LAYOUT_COPY;
    QImage::Format format = QImage::Format_Invalid;
    std::array<CChannel, 3> channels;
    QList<QRgb> colours;
};

bool ReadMasks(const uint8_t* pbyMasks, uint32_t nBitCount, CDibLayout& dib)
{
    uint32_t nAll = 0;
    for (size_t i = 0; i < dib.channels.size(); ++i) {
        const uint32_t nMask = Read32(pbyMasks + 4 * i);
        if (!dib.channels[i].Set(nMask) || (nAll & nMask))
            return false;
        nAll |= nMask;
    }
    return nBitCount == 32 || nAll <= 0xFFFF;
}

void ChooseTrueColourLayout(CDibLayout& dib)
{
    const uint32_t r = dib.channels[0].nMask, g = dib.channels[1].nMask, b = dib.channels[2].nMask;
    if (dib.nBitCount == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) {
        dib.layout = LAYOUT_RGB555;
        dib.format = QImage::Format_RGB555;
    } else if (dib.nBitCount == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F) {
        dib.layout = LAYOUT_COPY;
        dib.format = QImage::Format_RGB16;
    } else if (dib.nBitCount == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) {
        dib.layout = LAYOUT_XRGB;
        dib.format = QImage::Format_RGB32;
    } else {
        dib.layout = LAYOUT_MASKS;
        dib.format = QImage::Format_RGB32;
    }
}

// The colour table behind the header (of nColoursUsed entries, or all the
// depth allows): entries it leaves out are black.
bool ReadPalette(const uint8_t* p, size_t nSize, uint64_t nOffset, bool bCore, uint32_t nColoursUsed,
                 CDibLayout& dib)
{
    const uint32_t n = dib.nBitCount;
    const uint64_t nEntry = bCore ? 3 : 4;
    const uint64_t nAll = uint64_t(1) << n;
    const uint64_t nCount = nColoursUsed ? nColoursUsed : nAll;
    if (!Inside(nOffset, nCount * nEntry, nSize))
        return false;
    const uint64_t nUsed = std::min(nCount, nAll);
    dib.colours.fill(qRgb(0, 0, 0), qsizetype(nAll));
    for (uint64_t i = 0; i < nUsed; ++i) {
        const uint8_t* q = p + nOffset + i * nEntry;
        dib.colours[qsizetype(i)] = qRgb(q[2], q[1], q[0]);
    }
    dib.format = n == 1 ? QImage::Format_Mono : QImage::Format_Indexed8;
    dib.layout = n == 4 ? LAYOUT_NIBBLES : LAYOUT_COPY;
    return true;
}

// 16 and 32 bits a pixel: the masks the file gives, or the default ones.
bool ReadTrueColourMasks(const uint8_t* p, size_t nSize, uint32_t nHeader, bool bBitFields, CDibLayout& dib)
{
    static const uint8_t DEFAULT_16[12] = {0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0};
    static const uint8_t DEFAULT_32[12] = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0};
    const uint32_t n = dib.nBitCount;
    const uint8_t* pbyMasks = n == 16 ? DEFAULT_16 : DEFAULT_32;
    if (bBitFields) {
        const uint64_t nMaskOffset = nHeader == DIB_INFO_HEADER ? DIB_FILE_HEADER + nHeader : DIB_FILE_HEADER + 40;
        if (!Inside(nMaskOffset, 12, nSize))
            return false;
        pbyMasks = p + nMaskOffset;
    }
    if (!ReadMasks(pbyMasks, n, dib))
        return false;
    ChooseTrueColourLayout(dib);
    return true;
}

// p holds the file's first min(nSize, DIB_HEAD_BLOCK) bytes; nSize is the
// length of the whole file.
EDibResult ReadHeaders(const uint8_t* p, size_t nSize, CDibLayout& dib, CDibInfo& info)
{
    if (nSize < 2 || p[0] != 'B' || p[1] != 'M')
        return DIB_NOT_BMP;
    if (!Inside(DIB_FILE_HEADER, 4, nSize))
        return DIB_DAMAGED;
    dib.nPixelOffset = Read32(p + 10);
    const uint32_t nHeader = Read32(p + DIB_FILE_HEADER);
    info.nHeaderSize = nHeader;
    const bool bCore = nHeader == DIB_CORE_HEADER;
    if (!bCore && std::find(DIB_INFO_SIZES.begin(), DIB_INFO_SIZES.end(), nHeader) == DIB_INFO_SIZES.end())
        return DIB_DAMAGED;
    if (!Inside(DIB_FILE_HEADER, nHeader, nSize))
        return DIB_DAMAGED;
    const uint8_t* h = p + DIB_FILE_HEADER;

    int64_t nWidth, nHeight;
    uint32_t nCompression = DIB_BI_RGB, nColoursUsed = 0;
    if (bCore) {
        nWidth = Read16(h + 4);
        nHeight = Read16(h + 6);
        dib.nBitCount = Read16(h + 10);
    } else {
        nWidth = int32_t(Read32(h + 4));
        nHeight = int32_t(Read32(h + 8));
        dib.nBitCount = Read16(h + 14);
        nCompression = Read32(h + 16);
        nColoursUsed = Read32(h + 32);
    }
    info.nBitCount = dib.nBitCount;
    info.nWidth = int32_t(nWidth);
    info.nHeight = int32_t(nHeight);

    dib.bTopDown = nHeight < 0;
    const int64_t nRows = nHeight < 0 ? -nHeight : nHeight;
    if (nWidth < 1 || nWidth > DIB_MAX_SIDE || nRows < 1 || nRows > DIB_MAX_SIDE)
        return DIB_DAMAGED;
    dib.nWidth = int32_t(nWidth);
    dib.nRows = int32_t(nRows);

    const uint32_t n = dib.nBitCount;
    if (n != 1 && n != 4 && n != 8 && n != 16 && n != 24 && n != 32)
        return DIB_DAMAGED;
    const bool bBitFields = nCompression == DIB_BI_BITFIELDS && (n == 16 || n == 32);
    if (nCompression != DIB_BI_RGB && !bBitFields)
        return DIB_DAMAGED;

    const uint64_t nBehindHeader = DIB_FILE_HEADER + nHeader;
    bool bRead = true;
    if (n <= 8)
        bRead = ReadPalette(p, nSize, nBehindHeader, bCore, nColoursUsed, dib);
    else if (n == 24)
        dib.format = QImage::Format_BGR888;
    else
        bRead = ReadTrueColourMasks(p, nSize, nHeader, bBitFields, dib);
    if (!bRead)
        return DIB_DAMAGED;

    dib.nStride = (uint64_t(dib.nWidth) * n + 31) / 32 * 4;
    if (!Inside(dib.nPixelOffset, dib.nStride * uint64_t(dib.nRows), nSize))
        return DIB_DAMAGED;
    return DIB_OK;
}

// Converts one row of the file's pixels into the image's form; rows that need
// no conversion never come here.
void ConvertRow(const CDibLayout& dib, const uint8_t* src, uint8_t* dst)
{
    const int32_t w = dib.nWidth;
    switch (dib.layout) {
    case LAYOUT_COPY:
        break;
    case LAYOUT_NIBBLES:
        for (int32_t x = 0; x < w; ++x)
            dst[x] = (x & 1) ? src[x / 2] & 0x0F : src[x / 2] >> 4;
        break;
    case LAYOUT_RGB555:
        for (int32_t x = 0; x < w; ++x) {
            uint16_t v;
            std::memcpy(&v, src + 2 * x, 2);
            v &= 0x7FFF;
            std::memcpy(dst + 2 * x, &v, 2);
        }
        break;
    case LAYOUT_XRGB:
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);
            v |= 0xFF000000u;
            std::memcpy(dst + 4 * x, &v, 4);
        }
        break;
    case LAYOUT_MASKS: {
        const size_t nBytes = dib.nBitCount / 8;
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = nBytes == 2 ? Read16(src + 2 * x) : Read32(src + 4 * x);
            const QRgb rgb = qRgb(int(dib.channels[0].Scale(v)), int(dib.channels[1].Scale(v)),
                                  int(dib.channels[2].Scale(v)));
            std::memcpy(dst + 4 * x, &rgb, 4);
        }
        break;
    }
    }
}

// Where the pixels come from: a whole file in memory, or an open file read
// row by row, so the decoder never touches bytes the file no longer has.
class CDibSource
{
public:
    virtual ~CDibSource() = default;
    virtual size_t Size() const = 0;
    // Copies nLength bytes at nOffset; false when the source cannot give them all.
    virtual bool Read(uint64_t nOffset, uint8_t* pDst, size_t nLength) = 0;
};

class CMemorySource : public CDibSource
{
public:
    CMemorySource(const uint8_t* pbyFile, size_t nSize) : m_pbyFile(pbyFile), m_nSize(nSize) {}
    size_t Size() const override { return m_nSize; }
    bool Read(uint64_t nOffset, uint8_t* pDst, size_t nLength) override
    {
        if (!Inside(nOffset, nLength, m_nSize))
            return false;
        std::memcpy(pDst, m_pbyFile + nOffset, nLength);
        return true;
    }

private:
    const uint8_t* m_pbyFile;
    size_t m_nSize;
};

class CFileSource : public CDibSource
{
public:
    explicit CFileSource(CInputFile& file) : m_file(file) {}
    size_t Size() const override { return size_t(m_file.Size()); }
    bool Read(uint64_t nOffset, uint8_t* pDst, size_t nLength) override
    {
        const ptrdiff_t nRead = m_file.ReadAt(nOffset, pDst, nLength);
        if (nRead >= 0 && size_t(nRead) < nLength)
            errno = EIO;   // the file has shrunk since it was opened
        return nRead >= 0 && size_t(nRead) == nLength;
    }

private:
    CInputFile& m_file;
};

EDibResult Decode(CDibSource& source, QImage* pDib, CDibInfo* pInfo)
{
    CDibInfo info;
    CDibLayout dib;
    *pDib = QImage();
    uint8_t head[DIB_HEAD_BLOCK];
    const size_t nSize = source.Size();
    const size_t nHead = std::min(nSize, sizeof head);
    EDibResult result = source.Read(0, head, nHead) ? ReadHeaders(head, nSize, dib, info) : DIB_DAMAGED;
    if (pInfo)
        *pInfo = info;
    if (result != DIB_OK)
        return result;

    QImage image(dib.nWidth, dib.nRows, dib.format);
    if (image.isNull())
        return DIB_NO_MEMORY;
    if (!dib.colours.isEmpty())
        image.setColorTable(dib.colours);

    // Bitmap files keep the bottom row first unless the height is negative.
    // Rows that need no conversion go straight into the image.
    uint8_t* pbyBits = image.bits();
    const qsizetype nLine = image.bytesPerLine();
    const size_t nStride = size_t(dib.nStride);
    if (dib.bTopDown && dib.layout == LAYOUT_COPY && uint64_t(nLine) == dib.nStride) {
        if (!source.Read(dib.nPixelOffset, pbyBits, nStride * size_t(dib.nRows)))
            return DIB_DAMAGED;
    } else {
        std::vector<uint8_t> row(dib.layout == LAYOUT_COPY ? 0 : nStride);
        for (int32_t y = 0; y < dib.nRows; ++y) {
            const int32_t nRow = dib.bTopDown ? y : dib.nRows - 1 - y;
            uint8_t* pbyRow = pbyBits + nRow * nLine;
            const uint64_t nOffset = dib.nPixelOffset + uint64_t(y) * dib.nStride;
            if (dib.layout == LAYOUT_COPY) {
                if (!source.Read(nOffset, pbyRow, std::min(nStride, size_t(nLine))))
                    return DIB_DAMAGED;
            } else {
                if (!source.Read(nOffset, row.data(), nStride))
                    return DIB_DAMAGED;
                ConvertRow(dib, row.data(), pbyRow);
            }
        }
    }
    *pDib = std::move(image);
    return DIB_OK;
}

}

EDibResult DecodeDib(const uint8_t* pbyFile, size_t nSize, QImage* pDib, CDibInfo* pInfo)
{
    CMemorySource source(pbyFile, nSize);
    return Decode(source, pDib, pInfo);
}

namespace {

COutcome MapError(const QString& strText)
{
    const int nError = errno;
    return COutcome::Fail(QStringLiteral("Error on %1 = %2\n").arg(strText).arg(nError).left(DIB_MAX_MESSAGE),
                          nError);
}

}

COutcome CreateDibFromFile(QImage* pDib, const QString& strPath, CDibInfo* pInfo)
{
    *pDib = QImage();
    if (pInfo)
        *pInfo = CDibInfo();
    // The file is read, not mapped: a map on a card pulled during the load
    // shrinks under a mapping, and touching the lost pages kills the program.
    CInputFile file;
    if (file.Open(strPath) != CInputFile::EOpen::Ok)
        return MapError(QStringLiteral("Fail in file open"));
    if (file.Size() == 0 || file.Size() > SIZE_MAX) {
        errno = EINVAL;
        return MapError(QStringLiteral("Fail in creating map file"));
    }
    CFileSource source(file);
    // A damaged file is no failure of the system: only a read that fails
    // during the decode leaves an error number.
    errno = 0;
    switch (Decode(source, pDib, pInfo)) {
    case DIB_OK:
        break;
    case DIB_NOT_BMP:
        return MapError(QStringLiteral("This is not a DIB bitmap file!"));
    case DIB_DAMAGED:
        return MapError(QStringLiteral("Bitmap file is damaged or unsupported"));
    case DIB_NO_MEMORY:
        errno = ENOMEM;
        return MapError(QStringLiteral("Fail in creating DIB bitmap from file!"));
    }
    return COutcome::Ok();
}
