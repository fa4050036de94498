#pragma once

#include "map/TileCacheRecord.h"
#include "platform/Outcome.h"

#include <QImage>
#include <QString>
#include <cstdint>

// The tiles of one source on disk: ROOT/SOURCE/Z/X/Y with its record in
// Y.meta beside it, each written whole.
class CTileCache
{
public:
    enum class EState
    {
        Missing,   // none, or one that does not read: to be fetched
        Fresh,     // to be used as it is
        Stale,     // to be asked for again with its validators; used when that fails
    };

    CTileCache(QString strRoot, QString strSource);

    // The tile's record and picture (a null picture for a tile the server
    // does not have: white).
    EState Read(int nZoom, int64_t nX, int64_t nY, int64_t nNow, CTileRecord& record, QImage& image) const;

    COutcome Store(int nZoom, int64_t nX, int64_t nY, const QByteArray& bytes, const CTileRecord& record) const;
    COutcome StoreRecord(int nZoom, int64_t nX, int64_t nY, const CTileRecord& record) const;

    // Removes the least recently answered tiles of every source under strRoot
    // until all of them take at most nLimitBytes.
    static void Prune(const QString& strRoot, int64_t nLimitBytes);

private:
    QString TilePath(int nZoom, int64_t nX, int64_t nY) const;

    QString m_strFolder;
};

// A file name for a source: letters, digits, '-', '_' and '.', never hidden.
QString SourceFolderName(const QString& strSource);

// Writes a small file whole: beside it first, then renamed over it.
COutcome WriteWholeFile(const QString& strPath, const QByteArray& bytes);
