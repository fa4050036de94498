#include "map/online/TileCache.h"

#include "platform/BufferedFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

constexpr char TILECACHE_RECORD_SUFFIX[] = ".meta";

QByteArray ReadSmallFile(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > TILECACHE_MAX_TILE_BYTES)
        return {};
    return file.readAll();
}

}

QString SourceFolderName(const QString& strSource)
{
    QString strName;
    for (const QChar c : strSource)
        strName += (c.isLetterOrNumber() && c.unicode() < 0x80) || c == u'-' || c == u'_' || c == u'.' ? c : u'_';
    if (strName.isEmpty() || strName.startsWith(u'.'))
        strName.prepend(u'_');
    return strName;
}

COutcome WriteWholeFile(const QString& strPath, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(strPath).path());
    errno = 0;
    const std::unique_ptr<CBufferedFile> pFile = CBufferedFile::Create(strPath, CBufferedFile::ETarget::Own);
    if (!pFile || pFile->Write({bytes.constData(), size_t(bytes.size())}) == CBufferedFile::EWrite::Failed
        || pFile->Close() == CBufferedFile::EWrite::Failed)
        return COutcome::Fail(QStringLiteral("cannot write ") + strPath, errno ? errno : EIO);
    return COutcome::Ok();
}

CTileCache::CTileCache(QString strRoot, QString strSource)
    : m_strFolder(strRoot + u'/' + SourceFolderName(strSource))
{
}

QString CTileCache::TilePath(int nZoom, int64_t nX, int64_t nY) const
{
    return QStringLiteral("%1/%2/%3/%4").arg(m_strFolder).arg(nZoom).arg(nX).arg(nY);
}

CTileCache::EState CTileCache::Read(int nZoom, int64_t nX, int64_t nY, int64_t nNow, CTileRecord& record,
                                    QImage& image) const
{
    const QString strPath = TilePath(nZoom, nX, nY);
    const std::optional<CTileRecord> stored = ParseTileRecord(ReadSmallFile(strPath + TILECACHE_RECORD_SUFFIX));
    if (!stored)
        return EState::Missing;
    record = *stored;
    image = QImage();
    if (!record.m_bMissing && !image.loadFromData(ReadSmallFile(strPath)))
        return EState::Missing;
    return nNow < record.m_nFreshUntil ? EState::Fresh : EState::Stale;
}

COutcome CTileCache::Store(int nZoom, int64_t nX, int64_t nY, const QByteArray& bytes,
                           const CTileRecord& record) const
{
    // The picture first: a record always describes a whole tile.
    const QString strPath = TilePath(nZoom, nX, nY);
    if (COutcome written = WriteWholeFile(strPath, bytes); !written)
        return written;
    return StoreRecord(nZoom, nX, nY, record);
}

COutcome CTileCache::StoreRecord(int nZoom, int64_t nX, int64_t nY, const CTileRecord& record) const
{
    return WriteWholeFile(TilePath(nZoom, nX, nY) + TILECACHE_RECORD_SUFFIX, FormatTileRecord(record));
}

void CTileCache::Prune(const QString& strRoot, int64_t nLimitBytes)
{
    struct CEntry
    {
        QString strTile;
        qint64 nBytes;
        QDateTime answered;   // the record is rewritten by every answer
    };
    std::vector<CEntry> entries;
    int64_t nTotal = 0;
    QDirIterator it(strRoot, {QStringLiteral("*") + TILECACHE_RECORD_SUFFIX}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo record(it.next());
        QString strTile = record.filePath();
        strTile.chop(qsizetype(sizeof(TILECACHE_RECORD_SUFFIX) - 1));
        const qint64 nBytes = record.size() + QFileInfo(strTile).size();
        entries.push_back({strTile, nBytes, record.lastModified()});
        nTotal += nBytes;
    }
    if (nTotal <= nLimitBytes)
        return;
    std::sort(entries.begin(), entries.end(), [](const CEntry& a, const CEntry& b) { return a.answered < b.answered; });
    for (const CEntry& entry : entries) {
        if (nTotal <= nLimitBytes)
            break;
        // The record goes first: a tile without one is fetched again.
        QFile::remove(entry.strTile + TILECACHE_RECORD_SUFFIX);
        QFile::remove(entry.strTile);
        nTotal -= entry.nBytes;
    }
}
