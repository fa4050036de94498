#pragma once

#include "map/TileCacheRecord.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

// Tile providers ask for few connections: never more requests than this in
// flight at once, so never more connections to a host.
constexpr int ONLINE_MAX_REQUESTS = 2;
// A server that takes the connection and never answers fails a tile after
// this long without a byte (VELTRIP_ONLINE_TIMEOUT_MS shortens it for tests).
constexpr int ONLINE_TIMEOUT_MS = 20000;

struct CTileQuery
{
    QUrl m_url;
    CTileRecord m_cached;      // its validators when bRevalidate
    bool m_bRevalidate = false;
};

struct CTileAnswer
{
    enum class EKind
    {
        Tile,          // 200: m_body holds it
        NotModified,   // 304: the cached tile holds
        NotFound,      // 404: no tile there
        Refused,       // 429, 403, 5xx: the source wants a pause
        Unreachable,   // no answer: no network, no server, or too slow
        Failed,        // another status
    };
    EKind m_eKind = EKind::Failed;
    int m_nStatus = 0;
    QByteArray m_body;
    QByteArray m_cacheControl;
    QByteArray m_expires;
    QByteArray m_etag;
    QByteArray m_lastModified;
    int64_t m_nRetryAfter = 0;   // seconds, 0 when not given
    QString m_strReason;
};

// Fetches tiles over HTTP(S) with Qt Network in the calling thread's own
// event loop. Sends the URL and the User-Agent and nothing that tells about
// the user: no cookies, no caching headers but the validators, a neutral
// Accept-Language.
class CTileFetcher
{
public:
    CTileFetcher(QByteArray userAgent, int nTimeoutMs);

    // Asks for every query, at most ONLINE_MAX_REQUESTS at a time, and hands
    // each answer to fnAnswer (query's index, answer) as it comes; when
    // fnAnswer returns false the requests still out are dropped and no more
    // are made.
    void Run(const std::vector<CTileQuery>& queries,
             const std::function<bool(size_t nIndex, const CTileAnswer& answer)>& fnAnswer) const;

private:
    QByteArray m_userAgent;
    int m_nTimeoutMs;
};

// VELTRIP_ONLINE_TIMEOUT_MS when set to a positive number, else
// ONLINE_TIMEOUT_MS.
int OnlineTimeoutMs();
