// The tile cache's record and the caching headers of an answer, on arbitrary
// bytes: a record that reads writes back to itself, and a tile is never kept
// less than a week or more than a year.
#include "map/TileCacheRecord.h"

#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pbyData, size_t nSize)
{
    // Record, Cache-Control and Expires, apart at zero bytes.
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(pbyData), qsizetype(nSize)).split('\0');
    if (const std::optional<CTileRecord> record = ParseTileRecord(parts.value(0))) {
        const std::optional<CTileRecord> again = ParseTileRecord(FormatTileRecord(*record));
        if (!again || again->m_nFetched != record->m_nFetched || again->m_nFreshUntil != record->m_nFreshUntil
            || again->m_etag != record->m_etag || again->m_lastModified != record->m_lastModified
            || again->m_bMissing != record->m_bMissing)
            std::abort();
    }
    constexpr int64_t nNow = 1'800'000'000;
    const int64_t nUntil = TileFreshUntil(parts.value(1), parts.value(2), nNow);
    if (nUntil < nNow + TILECACHE_MIN_KEEP_SECONDS || nUntil > nNow + TILECACHE_MAX_KEEP_SECONDS)
        std::abort();
    return 0;
}
