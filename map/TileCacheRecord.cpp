#include "map/TileCacheRecord.h"

#include <QDateTime>
#include <QList>
#include <algorithm>
#include <charconv>

namespace {

constexpr char TILERECORD_FETCHED[] = "fetched";
constexpr char TILERECORD_FRESH[] = "fresh-until";
constexpr char TILERECORD_ETAG[] = "etag";
constexpr char TILERECORD_MODIFIED[] = "last-modified";
constexpr char TILERECORD_MISSING[] = "missing";
constexpr int TILERECORD_MAX_BYTES = 4096;

std::optional<int64_t> WholeNumber(const QByteArray& text)
{
    int64_t n = 0;
    const char* pEnd = text.constData() + text.size();
    const auto result = std::from_chars(text.constData(), pEnd, n);
    if (text.isEmpty() || result.ec != std::errc() || result.ptr != pEnd)
        return std::nullopt;
    return n;
}

// max-age=N of a Cache-Control value, directives compared without case.
std::optional<int64_t> MaxAge(const QByteArray& cacheControl)
{
    for (const QByteArray& directive : cacheControl.split(',')) {
        const QByteArray trimmed = directive.trimmed().toLower();
        if (trimmed.startsWith("max-age="))
            return WholeNumber(trimmed.mid(8).replace('"', QByteArray()));
    }
    return std::nullopt;
}

}

std::optional<CTileRecord> ParseTileRecord(const QByteArray& text)
{
    if (text.size() > TILERECORD_MAX_BYTES || !text.endsWith('\n'))
        return std::nullopt;
    CTileRecord record;
    bool bFetched = false;
    bool bFresh = false;
    const QList<QByteArray> lines = text.left(text.size() - 1).split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype nSpace = line.indexOf(' ');
        const QByteArray key = nSpace < 0 ? line : line.left(nSpace);
        const QByteArray value = nSpace < 0 ? QByteArray() : line.mid(nSpace + 1);
        if (key == TILERECORD_FETCHED || key == TILERECORD_FRESH) {
            const std::optional<int64_t> n = WholeNumber(value);
            if (!n)
                return std::nullopt;
            (key == TILERECORD_FETCHED ? record.m_nFetched : record.m_nFreshUntil) = *n;
            (key == TILERECORD_FETCHED ? bFetched : bFresh) = true;
        } else if (key == TILERECORD_ETAG) {
            record.m_etag = SafeValidator(value);
        } else if (key == TILERECORD_MODIFIED) {
            record.m_lastModified = SafeValidator(value);
        } else if (key == TILERECORD_MISSING && value.isEmpty()) {
            record.m_bMissing = true;
        }
        // Keys of a later version are passed over.
    }
    if (!bFetched || !bFresh)
        return std::nullopt;
    return record;
}

QByteArray FormatTileRecord(const CTileRecord& record)
{
    QByteArray text = QByteArray(TILERECORD_FETCHED) + ' ' + QByteArray::number(qlonglong(record.m_nFetched)) + '\n'
                      + TILERECORD_FRESH + ' ' + QByteArray::number(qlonglong(record.m_nFreshUntil)) + '\n';
    if (!SafeValidator(record.m_etag).isEmpty())
        text += QByteArray(TILERECORD_ETAG) + ' ' + record.m_etag + '\n';
    if (!SafeValidator(record.m_lastModified).isEmpty())
        text += QByteArray(TILERECORD_MODIFIED) + ' ' + record.m_lastModified + '\n';
    if (record.m_bMissing)
        text += QByteArray(TILERECORD_MISSING) + '\n';
    return text;
}

int64_t TileFreshUntil(const QByteArray& cacheControl, const QByteArray& expires, int64_t nNow)
{
    int64_t nKeep = 0;
    if (const std::optional<int64_t> nMaxAge = MaxAge(cacheControl)) {
        nKeep = *nMaxAge;
    } else if (!expires.isEmpty()) {
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(expires.trimmed()), Qt::RFC2822Date);
        if (when.isValid())
            nKeep = when.toSecsSinceEpoch() - nNow;
    }
    return nNow + std::clamp(nKeep, TILECACHE_MIN_KEEP_SECONDS, TILECACHE_MAX_KEEP_SECONDS);
}

QByteArray SafeValidator(const QByteArray& value)
{
    if (value.size() > TILECACHE_MAX_VALIDATOR)
        return {};
    const bool bPrintable = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    return bPrintable ? value : QByteArray();
}
