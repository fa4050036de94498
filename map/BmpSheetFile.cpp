#include "map/BmpSheetFile.h"

#include <QtEndian>
#include <array>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int BMPSHEET_FILE_HEADER = 14;
constexpr int BMPSHEET_INFO_HEADER = 40;
constexpr int BMPSHEET_BITS = 24;
// Hidden, and without the .bmp extension the catalogue looks for.
const QString BMPSHEET_TEMP_SUFFIX = QStringLiteral(".part");

int RowStride(int nWidth)
{
    return (nWidth * 3 + 3) & ~3;
}

QString TemporaryPath(const QString& strPath)
{
    const qsizetype nSlash = strPath.lastIndexOf(u'/') + 1;
    return strPath.left(nSlash) + u'.' + strPath.mid(nSlash) + BMPSHEET_TEMP_SUFFIX;
}

template <typename T>
void Put(uint8_t*& pby, T value)
{
    qToLittleEndian(value, pby);
    pby += sizeof(T);
}

}

int64_t BmpFileSize(int nWidth, int nHeight)
{
    return BMPSHEET_FILE_HEADER + BMPSHEET_INFO_HEADER + int64_t(RowStride(nWidth)) * nHeight;
}

CBmpSheetFile::~CBmpSheetFile()
{
    if (!m_bCommitted && !m_strPath.isEmpty()) {
        m_file.close();
        QFile::remove(TemporaryPath(m_strPath));
    }
}

COutcome CBmpSheetFile::WriteFailure()
{
    const int nErrno = errno ? errno : EIO;
    return COutcome::Fail(QStringLiteral("cannot write ") + m_strPath, nErrno);
}

COutcome CBmpSheetFile::Create(const QString& strPath, int nWidth, int nHeight)
{
    m_strPath = strPath;
    m_file.setFileName(TemporaryPath(strPath));
    errno = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return WriteFailure();
    const uint32_t nPixelBytes = uint32_t(RowStride(nWidth)) * uint32_t(nHeight);
    std::array<uint8_t, BMPSHEET_FILE_HEADER + BMPSHEET_INFO_HEADER> header {};
    uint8_t* pby = header.data();
    Put<uint8_t>(pby, 'B');
    Put<uint8_t>(pby, 'M');
    Put<uint32_t>(pby, uint32_t(header.size()) + nPixelBytes);
    Put<uint32_t>(pby, 0);
    Put<uint32_t>(pby, uint32_t(header.size()));
    Put<uint32_t>(pby, BMPSHEET_INFO_HEADER);
    Put<int32_t>(pby, nWidth);
    Put<int32_t>(pby, nHeight);   // positive: bottom-up rows
    Put<uint16_t>(pby, 1);
    Put<uint16_t>(pby, BMPSHEET_BITS);
    Put<uint32_t>(pby, 0);        // no compression
    Put<uint32_t>(pby, nPixelBytes);
    if (m_file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size())) != qint64(header.size()))
        return WriteFailure();
    return COutcome::Ok();
}

COutcome CBmpSheetFile::AppendRowsUpward(const uint8_t* pbyRows, int nRows, int nStride)
{
    errno = 0;
    for (int nRow = nRows - 1; nRow >= 0; --nRow) {
        if (m_file.write(reinterpret_cast<const char*>(pbyRows) + qsizetype(nRow) * nStride, nStride) != nStride)
            return WriteFailure();
    }
    return COutcome::Ok();
}

COutcome CBmpSheetFile::Finish()
{
    errno = 0;
    if (!m_file.flush() || m_file.handle() < 0 || ::fsync(m_file.handle()) != 0)
        return WriteFailure();
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return WriteFailure();
    return COutcome::Ok();
}

COutcome CBmpSheetFile::Commit()
{
    errno = 0;
    if (std::rename(QFile::encodeName(TemporaryPath(m_strPath)).constData(),
                    QFile::encodeName(m_strPath).constData())
        != 0)
        return COutcome::Fail(QStringLiteral("cannot write ") + m_strPath, errno);
    m_bCommitted = true;
    return COutcome::Ok();
}
