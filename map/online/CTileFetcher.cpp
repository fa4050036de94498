#include "map/online/CTileFetcher.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <memory>
#include <set>

namespace {

constexpr int HTTP_OK = 200;
constexpr int HTTP_NOT_MODIFIED = 304;
constexpr int HTTP_FORBIDDEN = 403;
constexpr int HTTP_NOT_FOUND = 404;
constexpr int HTTP_TOO_MANY = 429;
constexpr int HTTP_SERVER_ERRORS = 500;
constexpr int64_t ONLINE_MAX_RETRY_AFTER = 3600;

QNetworkRequest MakeRequest(const CTileQuery& query, const QByteArray& userAgent, int nTimeoutMs)
{
    QNetworkRequest request(query.m_url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    // Qt would otherwise name the user's locale.
    request.setRawHeader("Accept-Language", "*");
    request.setTransferTimeout(nTimeoutMs);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (query.m_bRevalidate) {
        if (!query.m_cached.m_etag.isEmpty())
            request.setRawHeader("If-None-Match", query.m_cached.m_etag);
        if (!query.m_cached.m_lastModified.isEmpty())
            request.setRawHeader("If-Modified-Since", query.m_cached.m_lastModified);
    }
    return request;
}

CTileAnswer::EKind KindOfStatus(int nStatus)
{
    if (nStatus == HTTP_OK)
        return CTileAnswer::EKind::Tile;
    if (nStatus == HTTP_NOT_MODIFIED)
        return CTileAnswer::EKind::NotModified;
    if (nStatus == HTTP_NOT_FOUND)
        return CTileAnswer::EKind::NotFound;
    if (nStatus == HTTP_TOO_MANY || nStatus == HTTP_FORBIDDEN || nStatus >= HTTP_SERVER_ERRORS)
        return CTileAnswer::EKind::Refused;
    return CTileAnswer::EKind::Failed;
}

CTileAnswer ReadAnswer(QNetworkReply& reply, int nTimeoutMs)
{
    CTileAnswer answer;
    answer.m_nStatus = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.m_nStatus == 0) {
        answer.m_eKind = CTileAnswer::EKind::Unreachable;
        answer.m_strReason = reply.error() == QNetworkReply::OperationCanceledError
                                     || reply.error() == QNetworkReply::TimeoutError
                                 ? QStringLiteral("no answer within %1 s").arg(nTimeoutMs / 1000.0)
                                 : reply.errorString();
        return answer;
    }
    answer.m_eKind = KindOfStatus(answer.m_nStatus);
    answer.m_strReason = QStringLiteral("HTTP %1").arg(answer.m_nStatus);
    if (answer.m_eKind == CTileAnswer::EKind::Tile && reply.error() != QNetworkReply::NoError) {
        answer.m_eKind = CTileAnswer::EKind::Failed;
        answer.m_strReason = QStringLiteral("a tile came incomplete or larger than 4 MiB");
        return answer;
    }
    answer.m_cacheControl = reply.rawHeader("Cache-Control");
    answer.m_expires = reply.rawHeader("Expires");
    answer.m_etag = SafeValidator(reply.rawHeader("ETag"));
    answer.m_lastModified = SafeValidator(reply.rawHeader("Last-Modified"));
    bool bNumber = false;
    const int64_t nRetry = reply.rawHeader("Retry-After").trimmed().toLongLong(&bNumber);
    answer.m_nRetryAfter = bNumber && nRetry > 0 ? std::min(nRetry, ONLINE_MAX_RETRY_AFTER) : 0;
    if (answer.m_eKind == CTileAnswer::EKind::Tile)
        answer.m_body = reply.readAll();
    return answer;
}

}

int OnlineTimeoutMs()
{
    bool bNumber = false;
    const int nMs = qEnvironmentVariableIntValue("VELTRIP_ONLINE_TIMEOUT_MS", &bNumber);
    return bNumber && nMs > 0 ? nMs : ONLINE_TIMEOUT_MS;
}

CTileFetcher::CTileFetcher(QByteArray userAgent, int nTimeoutMs)
    : m_userAgent(std::move(userAgent))
    , m_nTimeoutMs(nTimeoutMs)
{
}

void CTileFetcher::Run(const std::vector<CTileQuery>& queries,
                       const std::function<bool(size_t, const CTileAnswer&)>& fnAnswer) const
{
    if (queries.empty())
        return;
    QNetworkAccessManager manager;
    manager.setCookieJar(nullptr);
    QEventLoop loop;
    std::set<QNetworkReply*> pending;
    size_t nNext = 0;
    bool bStop = false;
    std::function<void()> startMore;
    startMore = [&] {
        while (!bStop && nNext < queries.size() && pending.size() < size_t(ONLINE_MAX_REQUESTS)) {
            const size_t nIndex = nNext++;
            QNetworkReply* pReply = manager.get(MakeRequest(queries[nIndex], m_userAgent, m_nTimeoutMs));
            pending.insert(pReply);
            QObject::connect(pReply, &QNetworkReply::downloadProgress, &loop, [pReply](qint64 nReceived, qint64) {
                if (nReceived > TILECACHE_MAX_TILE_BYTES)
                    pReply->abort();
            });
            QObject::connect(pReply, &QNetworkReply::finished, &loop, [&, pReply, nIndex] {
                pending.erase(pReply);
                pReply->deleteLater();
                if (!bStop && !fnAnswer(nIndex, ReadAnswer(*pReply, m_nTimeoutMs))) {
                    bStop = true;
                    // Dropped quietly: their answers are of no use any more.
                    for (QNetworkReply* pOther : std::exchange(pending, {})) {
                        pOther->disconnect(&loop);
                        if (!pOther->isFinished() && pOther->error() == QNetworkReply::NoError)
                            pOther->abort();
                        pOther->deleteLater();
                    }
                }
                startMore();
                if (pending.empty())
                    loop.quit();
            });
        }
    };
    startMore();
    if (!pending.empty())
        loop.exec();
}
