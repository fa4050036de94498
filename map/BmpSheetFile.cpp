#include "map/BmpSheetFile.h"

#include "platform/TemporaryFiles.h"

#include <QFileInfo>
#include <QtEndian>
#include <array>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int BMPSHEET_FILE_HEADER = 14;
constexpr int BMPSHEET_INFO_HEADER = 40;
constexpr int BMPSHEET_BITS = 24;
constexpr int BMPSHEET_ASIDE_TRIES = 100;

int RowStride(int nWidth)
{
    return (nWidth * 3 + 3) & ~3;
}

template <typename T>
void Put(uint8_t*& pby, T value)
{
    qToLittleEndian(value, pby);
    pby += sizeof(T);
}

bool Exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// A hidden name for an old sheet while the new ones move in, of a form the
// removal of stale temporaries leaves alone: after a crash the old sheet is
// still there to be found.
QByteArray AsideName(const QByteArray& target)
{
    static int g_nNext = 0;
    const QFileInfo info(QFile::decodeName(target));
    const QByteArray prefix = QFile::encodeName(info.path()) + "/." + QFile::encodeName(info.fileName()) + ".old-"
                              + QByteArray::number(::getpid()) + '-';
    for (int i = 0; i < BMPSHEET_ASIDE_TRIES; ++i) {
        QByteArray aside = prefix + QByteArray::number(g_nNext++);
        if (!Exists(aside))
            return aside;
    }
    return {};
}

}

int64_t BmpFileSize(int nWidth, int nHeight)
{
    return BMPSHEET_FILE_HEADER + BMPSHEET_INFO_HEADER + int64_t(RowStride(nWidth)) * nHeight;
}

CBmpSheetFile::~CBmpSheetFile()
{
    Discard();
}

void CBmpSheetFile::Discard()
{
    m_file.close();
    if (m_temporaryPath.isEmpty())
        return;
    ::unlink(m_temporaryPath.constData());
    m_temporaryPath.clear();
    ForgetTemporary(std::exchange(m_nTemporarySlot, -1));
}

COutcome CBmpSheetFile::WriteFailure()
{
    const int nErrno = errno ? errno : EIO;
    return COutcome::Fail(QStringLiteral("cannot write ") + m_strPath, nErrno);
}

COutcome CBmpSheetFile::Create(const QString& strPath, int nWidth, int nHeight)
{
    m_strPath = strPath;
    errno = 0;
    {
        const CStopSignalsHeld held;
        const int hFile = CreateTemporaryBeside(QFile::encodeName(strPath), m_temporaryPath);
        if (hFile < 0) {
            m_temporaryPath.clear();
            return WriteFailure();
        }
        m_nTemporarySlot = ListTemporary(m_temporaryPath);
        if (!m_file.open(hFile, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(hFile);
            return WriteFailure();
        }
    }
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

COutcome CBmpSheetFile::MoveIn(QByteArray& aside)
{
    const QByteArray target = QFile::encodeName(m_strPath);
    aside.clear();
    errno = 0;
    if (Exists(target)) {
        aside = AsideName(target);
        if (aside.isEmpty() || std::rename(target.constData(), aside.constData()) != 0) {
            aside.clear();
            return WriteFailure();
        }
    }
    if (std::rename(m_temporaryPath.constData(), target.constData()) != 0) {
        const COutcome failure = WriteFailure();
        if (!aside.isEmpty())
            std::rename(aside.constData(), target.constData());
        aside.clear();
        return failure;
    }
    m_temporaryPath.clear();
    ForgetTemporary(std::exchange(m_nTemporarySlot, -1));
    return COutcome::Ok();
}

COutcome CommitSheets(const std::vector<CBmpSheetFile*>& files)
{
    // A stop signal now would leave some sheets new and some old.
    const CStopSignalsHeld held;
    std::vector<std::pair<QByteArray, QByteArray>> moved;   // target, aside
    for (CBmpSheetFile* pFile : files) {
        QByteArray aside;
        if (COutcome outcome = pFile->MoveIn(aside); !outcome) {
            for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
                ::unlink(it->first.constData());
                if (!it->second.isEmpty())
                    std::rename(it->second.constData(), it->first.constData());
            }
            return outcome;
        }
        moved.push_back({QFile::encodeName(pFile->Path()), aside});
    }
    for (const auto& [target, aside] : moved) {
        if (!aside.isEmpty())
            ::unlink(aside.constData());
    }
    return COutcome::Ok();
}
