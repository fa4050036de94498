#include "map/online/COnlineSheetMaker.h"

#include "map/BmpSheetFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int ONLINE_FIRST_PAUSE_S = 30;
constexpr int ONLINE_LONGEST_PAUSE_S = 3600;
constexpr int ONLINE_MAX_ZOOM_SHIFT = 30;   // 2^z tiles still fit the integers
constexpr int ONLINE_MAX_DOUBLINGS = 8;     // of the pause; the longest caps it anyway
constexpr int BMP_BYTES_PER_PIXEL = 3;
constexpr int BILINEAR_ONE = 256;           // weights in 1/256
constexpr int ONLINE_MAX_STEM_NAME = 64;    // of a source's name in a sheet's: file names stay short

const char ONLINE_SUBDOMAINS[] = "abc";

int64_t Now()
{
    // Tests move the clock to age the cache.
    return QDateTime::currentSecsSinceEpoch() + qEnvironmentVariableIntValue("VELTRIP_ONLINE_CLOCK_OFFSET");
}

QByteArray UserAgent(const QString& strSuffix)
{
    QByteArray agent = QByteArrayLiteral("veltrip/" VELTRIP_VERSION " (+" VELTRIP_HOMEPAGE ")");
    QByteArray suffix;
    for (const QChar c : strSuffix)
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            suffix += char(c.unicode());
    return suffix.trimmed().isEmpty() ? agent : agent + ' ' + suffix.trimmed();
}

QUrl TileUrl(const QString& strTemplate, int nZoom, int64_t nX, int64_t nY)
{
    QString strUrl = strTemplate;
    strUrl.replace(QStringLiteral("{z}"), QString::number(nZoom))
        .replace(QStringLiteral("{x}"), QString::number(nX))
        .replace(QStringLiteral("{y}"), QString::number(nY))
        .replace(QStringLiteral("{s}"), QString(QLatin1Char(ONLINE_SUBDOMAINS[(nX + nY) % 3])));
    return QUrl(strUrl);
}

COutcome CheckRequest(const COnlineSheetRequest& request)
{
    const CTileSource& source = request.m_source;
    if (!IsTileUrlTemplate(source.m_strUrl))
        return COutcome::Fail(QStringLiteral("The tile address of %1 is no http or https address with {z}, {x} and {y}: %2")
                                  .arg(source.m_strName, source.m_strUrl));
    if (request.m_nZoom < source.m_nMinZoom || request.m_nZoom > source.m_nMaxZoom
        || request.m_nZoom > ONLINE_MAX_ZOOM)
        return COutcome::Fail(QStringLiteral("%1 has tiles of zoom %2 to %3, not %4")
                                  .arg(source.m_strName)
                                  .arg(source.m_nMinZoom)
                                  .arg(std::min(source.m_nMaxZoom, ONLINE_MAX_ZOOM))
                                  .arg(request.m_nZoom));
    if (request.m_nSheetPixels < ONLINE_MIN_SHEET || request.m_nSheetPixels > ONLINE_MAX_SHEET)
        return COutcome::Fail(QStringLiteral("A sheet is %1 to %2 pixels across, not %3")
                                  .arg(ONLINE_MIN_SHEET)
                                  .arg(ONLINE_MAX_SHEET)
                                  .arg(request.m_nSheetPixels));
    return COutcome::Ok();
}

QString SheetStem(const COnlineSheetRequest& request)
{
    return QStringLiteral("online-%1-z%2-%3")
        .arg(SourceFolderName(request.m_source.m_strName).left(ONLINE_MAX_STEM_NAME))
        .arg(request.m_nZoom)
        .arg(request.m_nSheetPixels);
}

// Where each sheet column or row samples the mosaic: two neighbours and the
// weight of the second.
struct CSample
{
    int n0;
    int n1;
    int nWeight;
};

CSample Sample(double dPixel, int nSize)
{
    const double d = std::clamp(dPixel, 0.0, double(nSize - 1));
    const int n0 = int(std::floor(d));
    return {n0, std::min(n0 + 1, nSize - 1), int(std::lround((d - n0) * BILINEAR_ONE))};
}

uint32_t Blend(uint32_t a, uint32_t b, int nWeight)
{
    uint32_t result = 0;
    for (int nShift = 0; nShift < 24; nShift += 8) {
        const int nA = int(a >> nShift & 0xff);
        const int nB = int(b >> nShift & 0xff);
        result |= uint32_t((nA * (BILINEAR_ONE - nWeight) + nB * nWeight + BILINEAR_ONE / 2) / BILINEAR_ONE) << nShift;
    }
    return result;
}

// The sheet's rows, north first, as BMP rows (blue, green, red), warped
// from the mosaic of Web Mercator tiles bilinearly; separable, because a
// column is one longitude and a row one latitude.
std::vector<uint8_t> WarpSheet(const CSheetPlacement& placement, const CTileRange& range, const QImage& mosaic,
                               int nStride)
{
    const CMapSheet& sheet = placement.m_sheet;
    const CArcBox& box = sheet.m_box;
    constexpr double DEG = MAPSHEET_SECONDS_PER_DEGREE;
    const double dLonPitch = double(box.m_nEast - box.m_nWest) / DEG / sheet.m_nWidth;
    const double dLatPitch = double(box.m_nNorth - box.m_nSouth) / DEG / sheet.m_nHeight;
    std::vector<CSample> columns(size_t(sheet.m_nWidth));
    for (int c = 0; c < sheet.m_nWidth; ++c) {
        const double dLon = double(box.m_nWest) / DEG + (c + 0.5) * dLonPitch;
        columns[size_t(c)] = Sample(MercatorX(dLon, placement.m_nZoom) - 0.5
                                        - double(range.m_nFirstX * ONLINE_TILE_PIXELS), mosaic.width());
    }
    std::vector<uint8_t> rows(size_t(nStride) * size_t(sheet.m_nHeight));
    for (int r = 0; r < sheet.m_nHeight; ++r) {
        const double dLat = double(box.m_nNorth) / DEG - (r + 0.5) * dLatPitch;
        const CSample row = Sample(MercatorY(dLat, placement.m_nZoom) - 0.5
                                       - double(range.m_nFirstY * ONLINE_TILE_PIXELS), mosaic.height());
        const auto* pTop = reinterpret_cast<const uint32_t*>(mosaic.constScanLine(row.n0));
        const auto* pBottom = reinterpret_cast<const uint32_t*>(mosaic.constScanLine(row.n1));
        uint8_t* pOut = rows.data() + size_t(r) * size_t(nStride);
        for (const CSample& col : columns) {
            const uint32_t top = Blend(pTop[col.n0], pTop[col.n1], col.nWeight);
            const uint32_t bottom = Blend(pBottom[col.n0], pBottom[col.n1], col.nWeight);
            const uint32_t pixel = Blend(top, bottom, row.nWeight);
            *pOut++ = uint8_t(pixel);
            *pOut++ = uint8_t(pixel >> 8);
            *pOut++ = uint8_t(pixel >> 16);
        }
    }
    return rows;
}

COutcome WriteSheet(const QString& strPath, const CMapSheet& sheet, const std::vector<uint8_t>& rows, int nStride)
{
    CBmpSheetFile file;
    COutcome outcome = file.Create(strPath, sheet.m_nWidth, sheet.m_nHeight);
    if (outcome)
        outcome = file.AppendRowsUpward(rows.data(), sheet.m_nHeight, nStride);
    if (outcome)
        outcome = file.Finish();
    if (outcome)
        outcome = CommitSheets({&file});
    return outcome;
}

}

COutcome COnlineSheetMaker::MakeSheet(const COnlineSheetRequest& request, const MapImportProgress& fnProgress,
                                      QString& strPath)
{
    if (COutcome checked = CheckRequest(request); !checked)
        return checked;
    CSheetPlacement placement;
    if (!PlaceSheet(request.m_dLatitude, request.m_dLongitude, request.m_nZoom, request.m_nSheetPixels, placement))
        return COutcome::Fail(QStringLiteral("The world at zoom %1 is smaller than a sheet of %2 pixels")
                                  .arg(request.m_nZoom)
                                  .arg(request.m_nSheetPixels));
    CMapSheet& sheet = placement.m_sheet;
    sheet.m_strName = SheetFileName(SheetStem(request), sheet);
    const QString strDir = request.m_strSheetDir.isEmpty() ? OnlineSheetFolder() : request.m_strSheetDir;
    strPath = strDir + u'/' + sheet.m_strName;
    // Made before: the same place, source, zoom and size give the same name.
    if (QFileInfo(strPath).size() == BmpFileSize(sheet.m_nWidth, sheet.m_nHeight))
        return COutcome::Ok();

    const CTileRange range = TilesOfSheet(placement);
    const CTileCache cache(request.m_strCacheDir.isEmpty() ? OnlineTileFolder() : request.m_strCacheDir,
                           request.m_source.m_strName);
    const int64_t nNow = Now();
    const int64_t nWorldTiles = int64_t(1) << std::min(request.m_nZoom, ONLINE_MAX_ZOOM_SHIFT);
    std::vector<CTileSlot> tiles;
    for (int64_t y = range.m_nFirstY; y <= range.m_nLastY; ++y) {
        for (int64_t x = range.m_nFirstX; x <= range.m_nLastX; ++x) {
            CTileSlot slot;
            slot.m_nX = (x % nWorldTiles + nWorldTiles) % nWorldTiles;
            slot.m_nY = y;
            slot.m_eState = cache.Read(request.m_nZoom, slot.m_nX, y, nNow, slot.m_record, slot.m_image);
            tiles.push_back(std::move(slot));
        }
    }
    if (COutcome fetched = FetchTiles(request, cache, request.m_nZoom, tiles, fnProgress); !fetched)
        return fetched;

    const int nTilesAcross = int(range.m_nLastX - range.m_nFirstX + 1);
    const int nTilesDown = int(range.m_nLastY - range.m_nFirstY + 1);
    QImage mosaic(nTilesAcross * ONLINE_TILE_PIXELS, nTilesDown * ONLINE_TILE_PIXELS, QImage::Format_RGB32);
    if (mosaic.isNull())
        return COutcome::Fail(EOutcome::NoMemory, QStringLiteral("No memory for the tiles of a sheet"));
    mosaic.fill(Qt::white);
    {
        QPainter painter(&mosaic);
        for (size_t i = 0; i < tiles.size(); ++i) {
            if (!tiles[i].m_image.isNull())
                painter.drawImage(QRect(int(i % size_t(nTilesAcross)) * ONLINE_TILE_PIXELS,
                                        int(i / size_t(nTilesAcross)) * ONLINE_TILE_PIXELS, ONLINE_TILE_PIXELS,
                                        ONLINE_TILE_PIXELS),
                                  tiles[i].m_image);
        }
    }
    const int nStride = int(BmpFileSize(sheet.m_nWidth, 1) - BmpFileSize(0, 0));
    const std::vector<uint8_t> rows = WarpSheet(placement, range, mosaic, nStride);
    QDir().mkpath(strDir);
    // The attribution first: a sheet is never there without it.
    if (!request.m_source.m_strAttribution.isEmpty()) {
        if (COutcome written = WriteWholeFile(SheetAttributionPath(strPath), request.m_source.m_strAttribution.toUtf8());
            !written)
            return written;
    }
    return WriteSheet(strPath, sheet, rows, nStride);
}

COutcome COnlineSheetMaker::FetchTiles(const COnlineSheetRequest& request, const CTileCache& cache, int nZoom,
                                       std::vector<CTileSlot>& tiles, const MapImportProgress& fnProgress)
{
    const QString& strSource = request.m_source.m_strName;
    std::vector<size_t> asked;
    std::vector<CTileQuery> queries;
    for (size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].m_eState == CTileCache::EState::Fresh)
            continue;
        asked.push_back(i);
        queries.push_back({TileUrl(request.m_source.m_strUrl, nZoom, tiles[i].m_nX, tiles[i].m_nY), tiles[i].m_record,
                           tiles[i].m_eState == CTileCache::EState::Stale});
    }
    if (queries.empty())
        return COutcome::Ok();
    QString strProblem = PauseReason(strSource);
    bool bCancelled = false;
    size_t nDone = 0;
    bool bStored = false;
    const int64_t nNow = Now();
    const auto answer = [&](size_t nIndex, const CTileAnswer& reply) {
        NoteAnswer(strSource, reply);
        CTileSlot& slot = tiles[asked[nIndex]];
        const auto kind = reply.m_eKind;
        CTileRecord record {nNow, TileFreshUntil(reply.m_cacheControl, reply.m_expires, nNow), reply.m_etag,
                            reply.m_lastModified, kind == CTileAnswer::EKind::NotFound};
        QImage image;
        if (kind == CTileAnswer::EKind::Tile && image.loadFromData(reply.m_body)) {
            bStored = cache.Store(nZoom, slot.m_nX, slot.m_nY, reply.m_body, record) || bStored;
            slot = {slot.m_nX, slot.m_nY, record, image, CTileCache::EState::Fresh};
        } else if (kind == CTileAnswer::EKind::NotFound) {
            bStored = cache.Store(nZoom, slot.m_nX, slot.m_nY, {}, record) || bStored;
            slot = {slot.m_nX, slot.m_nY, record, QImage(), CTileCache::EState::Fresh};
        } else if (kind == CTileAnswer::EKind::NotModified && slot.m_eState == CTileCache::EState::Stale) {
            // Only its age changes; validators the answer leaves out stay.
            record.m_bMissing = slot.m_record.m_bMissing;
            record.m_etag = reply.m_etag.isEmpty() ? slot.m_record.m_etag : reply.m_etag;
            record.m_lastModified = reply.m_lastModified.isEmpty() ? slot.m_record.m_lastModified : reply.m_lastModified;
            cache.StoreRecord(nZoom, slot.m_nX, slot.m_nY, record);
            slot.m_record = record;
            slot.m_eState = CTileCache::EState::Fresh;
        } else {
            strProblem = kind == CTileAnswer::EKind::Tile ? QStringLiteral("the server sent no picture") : reply.m_strReason;
            if (kind == CTileAnswer::EKind::Refused)
                strProblem += QStringLiteral(", ") + SourceState(strSource);
            // A refusal or no network: no more asking now. A stale tile is
            // used as it is.
            return false;
        }
        ++nDone;
        bCancelled = fnProgress && !fnProgress(double(nDone) / double(queries.size()));
        return !bCancelled;
    };
    if (strProblem.isEmpty())
        CTileFetcher(UserAgent(request.m_strUserAgentSuffix), OnlineTimeoutMs()).Run(queries, answer);
    if (bStored)
        CTileCache::Prune(request.m_strCacheDir.isEmpty() ? OnlineTileFolder() : request.m_strCacheDir,
                          request.m_nCacheBytes);
    if (bCancelled)
        return COutcome::Fail(EOutcome::Cancelled, QString());
    const bool bMissing = std::any_of(tiles.begin(), tiles.end(),
                                      [](const CTileSlot& slot) { return slot.m_eState == CTileCache::EState::Missing; });
    if (!bMissing)
        return COutcome::Ok();
    return COutcome::Fail(QStringLiteral("No map of %1 here: %2, and the cache does not hold all its tiles")
                              .arg(strSource, strProblem.isEmpty() ? QStringLiteral("cancelled") : strProblem));
}

QString COnlineSheetMaker::PauseReason(const QString& strSource) const
{
    const QString strState = SourceState(strSource);
    if (!strState.startsWith(QStringLiteral("paused")))
        return {};
    const std::lock_guard lock(m_mutex);
    return QStringLiteral("the server refused tiles (HTTP %1), %2").arg(m_health.value(strSource).m_nLastRefusal).arg(strState);
}

void COnlineSheetMaker::NoteAnswer(const QString& strSource, const CTileAnswer& answer)
{
    const std::lock_guard lock(m_mutex);
    CSourceHealth& health = m_health[strSource];
    health.m_bOffline = answer.m_eKind == CTileAnswer::EKind::Unreachable;
    if (answer.m_eKind != CTileAnswer::EKind::Refused) {
        if (!health.m_bOffline)
            health.m_nRefusals = 0;
        return;
    }
    // Each refusal in a row doubles the pause: never a storm of retries.
    health.m_nRefusals = std::min(health.m_nRefusals + 1, ONLINE_MAX_DOUBLINGS);
    const int64_t nPause = std::max<int64_t>(
        answer.m_nRetryAfter, std::min<int64_t>(int64_t(ONLINE_FIRST_PAUSE_S) << (health.m_nRefusals - 1),
                                                ONLINE_LONGEST_PAUSE_S));
    health.m_pausedUntil = CClock::now() + std::chrono::seconds(nPause);
    health.m_nLastRefusal = answer.m_nStatus;
}

QString COnlineSheetMaker::SourceState(const QString& strSource) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_health.constFind(strSource);
    if (it == m_health.constEnd())
        return {};
    const auto left = std::chrono::ceil<std::chrono::seconds>(it->m_pausedUntil - CClock::now());
    if (left.count() > 0)
        return QStringLiteral("paused %1 s").arg(left.count());
    return it->m_bOffline ? QStringLiteral("offline") : QString();
}
