#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

// What the tile cache keeps beside each tile: when it was fetched, until when
// the server lets it be used without asking again, and the validators to ask
// with. One "key value" line each; a record that does not read is no record,
// so its tile is fetched again.

constexpr int64_t TILECACHE_MIN_KEEP_SECONDS = 7 * 24 * 3600;   // the tile policies' least
constexpr int64_t TILECACHE_MAX_KEEP_SECONDS = 365 * 24 * 3600;
constexpr int TILECACHE_MAX_VALIDATOR = 256;                     // bytes of an ETag or a date
constexpr int64_t TILECACHE_MAX_TILE_BYTES = 4 << 20;            // no tile is larger: more is damage

struct CTileRecord
{
    int64_t m_nFetched = 0;      // Unix seconds of the last answer (200 or 304)
    int64_t m_nFreshUntil = 0;   // Unix seconds: used without asking until then
    QByteArray m_etag;           // sent back as If-None-Match
    QByteArray m_lastModified;   // sent back as If-Modified-Since
    bool m_bMissing = false;     // the server has no such tile (404): painted white
};

std::optional<CTileRecord> ParseTileRecord(const QByteArray& text);
QByteArray FormatTileRecord(const CTileRecord& record);

// Until when an answer given at nNow may be used without asking: as its
// Cache-Control max-age or else its Expires say, but at least a week and at
// most a year.
int64_t TileFreshUntil(const QByteArray& cacheControl, const QByteArray& expires, int64_t nNow);

// A validator as the server sent it, or empty when it is too long or holds
// bytes that must not go back into a request line.
QByteArray SafeValidator(const QByteArray& value);
