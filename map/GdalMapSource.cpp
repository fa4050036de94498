#include "map/GdalMapSource.h"

#include "map/MapImportSandbox.h"
#include "platform/InputFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_alg.h>
#include <gdal_utils.h>
#include <gdalwarper.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// A strip of the warp holds about this many bytes, in at least and at most
// so many rows.
constexpr int64_t MAPIMPORT_STRIP_BYTES = 8 << 20;
constexpr int64_t MAPIMPORT_MIN_STRIP_ROWS = 16;
constexpr int64_t MAPIMPORT_MAX_STRIP_ROWS = 256;
constexpr int MAPIMPORT_PIECE_COLUMNS = 1024;
constexpr int MAPIMPORT_CHANNELS = 3;
constexpr uint8_t MAPIMPORT_WHITE = 255;
// Pixels the interpolated transform may be off, gdalwarp's default.
constexpr double MAPIMPORT_APPROX_ERROR = 0.125;
// GDAL's block cache would otherwise grow with the machine's memory; the
// import streams, so a modest cache is enough and keeps the peak flat.
constexpr int64_t MAPIMPORT_GDAL_CACHE = 16 << 20;

// The antimeridian, and how many sample points along each side of the
// source find where it lies when that may cross it.
constexpr double MAPIMPORT_HALF_TURN = MAPSHEET_TURN_DEGREES / 2;
constexpr int MAPIMPORT_FOOTPRINT_SAMPLES = 64;
// A source spanning more longitude than this covers the world: its
// footprint is taken as GDAL finds it.
constexpr double MAPIMPORT_WORLD_SPAN = 270;
// A source block larger than this is refused rather than read.
constexpr int64_t MAPIMPORT_MAX_BLOCK_BYTES = int64_t(256) << 20;
// The source is read reduced when its pixels are at least this many times
// finer than the sheets'.
constexpr double MAPIMPORT_REDUCE_FROM = 2;

void RegisterGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        GDALSetCacheMax64(MAPIMPORT_GDAL_CACHE);
        ConfineGdal();
    });
}

// GDAL's messages are collected for the outcome instead of going to stderr;
// the handler stack is per thread, so a worker thread's import is covered.
class CQuietGdal
{
public:
    CQuietGdal()
    {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~CQuietGdal() { CPLPopErrorHandler(); }
    CQuietGdal(const CQuietGdal&) = delete;
    CQuietGdal& operator=(const CQuietGdal&) = delete;
};

COutcome GdalFailure(const QString& strWhat)
{
    const QString strGdal = QString::fromUtf8(CPLGetLastErrorMsg());
    return COutcome::Fail(strGdal.isEmpty() ? strWhat : strWhat + QStringLiteral(" (") + strGdal + u')');
}

COutcome NotRelated(const QString& strPath)
{
    return GdalFailure(QStringLiteral("cannot relate ") + strPath + QStringLiteral(" to WGS 84"));
}

// The source pixel under a position (the transformer's destination is
// longitude and latitude). A source may use longitudes beyond +-180: the
// position a turn east or west of it is tried as well, and the one inside
// the raster is taken; dShift says by how much.
bool PixelAt(void* hTransform, GDALDatasetH hRaster, double dLongitude, double dLatitude, double& x, double& y,
             double& dShift)
{
    bool bFound = false;
    for (const double dTry : {0.0, MAPSHEET_TURN_DEGREES, -MAPSHEET_TURN_DEGREES}) {
        const double dLon = std::remainder(dLongitude, MAPSHEET_TURN_DEGREES) + dTry;
        double px = dLon;
        double py = dLatitude;
        double pz = 0;
        int nOk = 0;
        if (!GDALGenImgProjTransform(hTransform, TRUE, 1, &px, &py, &pz, &nOk) || !nOk)
            continue;
        const bool bInside = px >= 0 && py >= 0 && px <= GDALGetRasterXSize(hRaster) && py <= GDALGetRasterYSize(hRaster);
        if (!bFound || bInside) {
            x = px;
            y = py;
            dShift = dLon - dLongitude;
            bFound = true;
        }
        if (bInside)
            return true;
    }
    return bFound;
}

// The shortest span of longitudes holding sample points over the whole
// source, west within -180..180 and east beyond 180 where it crosses the
// antimeridian; false when no point could be placed.
bool SampledSpan(void* hTransform, GDALDatasetH hRaster, CGeoBox& span)
{
    std::vector<double> longitudes;
    span.m_dSouth = MAPIMPORT_HALF_TURN;
    span.m_dNorth = -MAPIMPORT_HALF_TURN;
    for (int i = 0; i <= MAPIMPORT_FOOTPRINT_SAMPLES; ++i) {
        for (int j = 0; j <= MAPIMPORT_FOOTPRINT_SAMPLES; ++j) {
            double x = GDALGetRasterXSize(hRaster) * double(i) / MAPIMPORT_FOOTPRINT_SAMPLES;
            double y = GDALGetRasterYSize(hRaster) * double(j) / MAPIMPORT_FOOTPRINT_SAMPLES;
            double z = 0;
            int nOk = 0;
            if (!GDALGenImgProjTransform(hTransform, FALSE, 1, &x, &y, &z, &nOk) || !nOk || !std::isfinite(x))
                continue;
            longitudes.push_back(std::remainder(x, MAPSHEET_TURN_DEGREES));
            span.m_dSouth = std::min(span.m_dSouth, y);
            span.m_dNorth = std::max(span.m_dNorth, y);
        }
    }
    if (longitudes.empty())
        return false;
    std::sort(longitudes.begin(), longitudes.end());
    // The span leaves out the widest gap between neighbours, the one
    // across the antimeridian included.
    double dGap = longitudes.front() + MAPSHEET_TURN_DEGREES - longitudes.back();
    size_t nAfterGap = 0;
    for (size_t i = 1; i < longitudes.size(); ++i) {
        if (longitudes[i] - longitudes[i - 1] > dGap) {
            dGap = longitudes[i] - longitudes[i - 1];
            nAfterGap = i;
        }
    }
    span.m_dWest = longitudes[nAfterGap];
    span.m_dEast = nAfterGap == 0 ? longitudes.back() : longitudes[nAfterGap - 1] + MAPSHEET_TURN_DEGREES;
    return true;
}

bool HasGeoTransform(GDALDatasetH hDataset)
{
    double gt[6];
    return GDALGetGeoTransform(hDataset, gt) == CE_None;
}

bool HasGeoreference(GDALDatasetH hDataset)
{
    const bool bTransform = HasGeoTransform(hDataset) && GDALGetSpatialRef(hDataset);
    const bool bGcps = GDALGetGCPCount(hDataset) > 0 && GDALGetGCPSpatialRef(hDataset);
    return bTransform || bGcps || CSLCount(GDALGetMetadata(hDataset, "RPC")) > 0;
}

GDALColorInterp Interpretation(GDALDatasetH hDataset, int nBand)
{
    return GDALGetRasterColorInterpretation(GDALGetRasterBand(hDataset, nBand));
}

}

CGdalMapSource::CGdalMapSource()
{
    RegisterGdal();
}

CGdalMapSource::~CGdalMapSource()
{
    if (m_hReduced)
        GDALClose(m_hReduced);
    if (m_hPrepared)
        GDALClose(m_hPrepared);
    if (m_hSource)
        GDALClose(m_hSource);
}

COutcome CGdalMapSource::Open(const QString& strPath)
{
    const CQuietGdal quiet;
    m_strPath = strPath;
    if (IsNetworkPath(strPath))
        return COutcome::Fail(strPath + QStringLiteral(" is not a file on this computer: maps are imported from "
                                                       "files only"));
    // Opened here first, without blocking, so a FIFO or a device is refused
    // before GDAL would wait on it.
    CInputFile probe;
    if (probe.Open(strPath) != CInputFile::EOpen::Ok)
        return COutcome::Fail(strPath + QStringLiteral(": ") + probe.Reason());
    probe.Close();
    const QByteArray path = QFile::encodeName(strPath);
    m_hSource = GDALOpenEx(path.constData(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr,
                           nullptr, nullptr);
    if (!m_hSource || GDALGetRasterCount(m_hSource) == 0)
        return GdalFailure(strPath + QStringLiteral(" is no raster image that GDAL can read"));
    if (COutcome outcome = CheckBlocks(); !outcome)
        return outcome;
    if (COutcome outcome = Prepare(); !outcome)
        return outcome;
    if (!HasGeoreference(Raster())) {
        return COutcome::Fail(strPath + QStringLiteral(" has no georeference: GDAL finds no coordinate "
                                                       "system with a geotransform (a world file needs a .prj "
                                                       "beside it) or control points"));
    }
    ChooseBands();
    return COutcome::Ok();
}

COutcome CGdalMapSource::Prepare()
{
    // Not every driver reads the .prj beside an image with a world file.
    const QFileInfo info(m_strPath);
    const QString strPrj = info.path() + u'/' + info.completeBaseName() + QStringLiteral(".prj");
    const bool bPrj = !GDALGetSpatialRef(m_hSource) && HasGeoTransform(m_hSource) && QFileInfo::exists(strPrj);
    // Bilinear warping needs colours, not palette indices.
    const bool bPalette = GDALGetRasterColorTable(GDALGetRasterBand(m_hSource, 1)) != nullptr;
    if (!bPrj && !bPalette)
        return COutcome::Ok();
    const QByteArray prj = QFile::encodeName(strPrj);
    CPLStringList args;
    args.AddString("-of");
    args.AddString("VRT");
    if (bPalette) {
        args.AddString("-expand");
        args.AddString("rgba");
    }
    if (bPrj) {
        args.AddString("-a_srs");
        args.AddString(prj.constData());
    }
    GDALTranslateOptions* pOptions = GDALTranslateOptionsNew(args.List(), nullptr);
    m_hPrepared = GDALTranslate("", m_hSource, pOptions, nullptr);
    GDALTranslateOptionsFree(pOptions);
    if (!m_hPrepared)
        return GdalFailure(QStringLiteral("cannot read ") + m_strPath);
    return COutcome::Ok();
}

COutcome CGdalMapSource::CheckBlocks() const
{
    const GDALRasterBandH hBand = GDALGetRasterBand(m_hSource, 1);
    int nBlockWidth = 0;
    int nBlockHeight = 0;
    GDALGetBlockSize(hBand, &nBlockWidth, &nBlockHeight);
    const int64_t nBytes = int64_t(nBlockWidth) * nBlockHeight * GDALGetRasterCount(m_hSource)
                           * GDALGetDataTypeSizeBytes(GDALGetRasterDataType(hBand));
    if (nBytes <= MAPIMPORT_MAX_BLOCK_BYTES)
        return COutcome::Ok();
    return COutcome::Fail(QStringLiteral("%1 keeps its pixels in blocks of %2 x %3, more than the %4 MiB an import "
                                         "holds at once")
                              .arg(m_strPath)
                              .arg(nBlockWidth)
                              .arg(nBlockHeight)
                              .arg(MAPIMPORT_MAX_BLOCK_BYTES >> 20));
}

COutcome CGdalMapSource::ReduceTo(double dLongitude, double dLatitude, double dSeconds)
{
    double dOwn = 0;
    if (COutcome outcome = ResolutionAt(dLongitude, dLatitude, dOwn); !outcome)
        return outcome;
    const double dFactor = std::floor(dSeconds / dOwn);
    if (!(dFactor >= MAPIMPORT_REDUCE_FROM) || m_hReduced)
        return COutcome::Ok();
    const CQuietGdal quiet;
    const QByteArray width = QByteArray::number(std::max(1.0, std::floor(GDALGetRasterXSize(Raster()) / dFactor)), 'f', 0);
    const QByteArray height = QByteArray::number(std::max(1.0, std::floor(GDALGetRasterYSize(Raster()) / dFactor)), 'f', 0);
    // Averaged, so that fine lines fade rather than break up.
    const char* const args[] = {"-of", "VRT", "-outsize", width.constData(), height.constData(), "-r", "average",
                                nullptr};
    GDALTranslateOptions* pOptions = GDALTranslateOptionsNew(const_cast<char**>(args), nullptr);
    m_hReduced = GDALTranslate("", Raster(), pOptions, nullptr);
    GDALTranslateOptionsFree(pOptions);
    if (!m_hReduced)
        return GdalFailure(QStringLiteral("cannot read ") + m_strPath);
    return COutcome::Ok();
}

void CGdalMapSource::ChooseBands()
{
    const GDALDatasetH hRaster = Raster();
    const int nCount = GDALGetRasterCount(hRaster);
    if (nCount >= 3) {
        m_nBands[1] = 2;
        m_nBands[2] = 3;
    }
    for (int nBand = 2; nBand <= nCount; ++nBand) {
        if (Interpretation(hRaster, nBand) == GCI_AlphaBand)
            m_nAlphaBand = nBand;
    }
}

void* CGdalMapSource::CreateTransformer() const
{
    // GDAL gives EPSG:4326 named here longitude first, as the warp needs.
    const char* options[] = {"DST_SRS=EPSG:4326", nullptr};
    return GDALCreateGenImgProjTransformer2(Raster(), nullptr, const_cast<char**>(options));
}

COutcome CGdalMapSource::Footprint(std::vector<CGeoBox>& parts) const
{
    const CQuietGdal quiet;
    void* hTransform = CreateTransformer();
    if (!hTransform)
        return NotRelated(m_strPath);
    double gt[6];
    double extent[4];
    int nPixels = 0;
    int nLines = 0;
    const CPLErr eErr = GDALSuggestedWarpOutput2(Raster(), GDALGenImgProjTransform, hTransform, gt, &nPixels,
                                                 &nLines, extent, 0);
    CGeoBox box {extent[0], extent[1], extent[2], extent[3]};
    // GDAL widens a footprint across the antimeridian to the whole world,
    // or leaves it beyond 180.
    const bool bMayCross = box.m_dWest < -MAPIMPORT_HALF_TURN || box.m_dEast > MAPIMPORT_HALF_TURN
                           || box.m_dEast - box.m_dWest > MAPIMPORT_HALF_TURN;
    CGeoBox span;
    if (eErr == CE_None && bMayCross && SampledSpan(hTransform, Raster(), span)
        && span.m_dEast - span.m_dWest <= MAPIMPORT_WORLD_SPAN)
        box = span;
    GDALDestroyGenImgProjTransformer(hTransform);
    if (eErr != CE_None)
        return GdalFailure(QStringLiteral("cannot find the extent of ") + m_strPath);
    if (box.m_dEast > MAPIMPORT_HALF_TURN) {
        parts = {{box.m_dWest, box.m_dSouth, MAPIMPORT_HALF_TURN, box.m_dNorth},
                 {-MAPIMPORT_HALF_TURN, box.m_dSouth, box.m_dEast - MAPSHEET_TURN_DEGREES, box.m_dNorth}};
    } else {
        parts = {box};
    }
    return COutcome::Ok();
}

COutcome CGdalMapSource::ResolutionAt(double dLongitude, double dLatitude, double& dSeconds) const
{
    const CQuietGdal quiet;
    void* hTransform = CreateTransformer();
    if (!hTransform)
        return NotRelated(m_strPath);
    // The source pixel under the position, and its neighbours across and down.
    double x[3] = {};
    double y[3] = {};
    double z[3] = {};
    int ok[3] = {};
    double dShift = 0;
    bool bOk = PixelAt(hTransform, Raster(), dLongitude, dLatitude, x[0], y[0], dShift);
    x[1] = x[0] + 1;
    y[1] = y[0];
    x[2] = x[0];
    y[2] = y[0] + 1;
    bOk = bOk && GDALGenImgProjTransform(hTransform, FALSE, 3, x, y, z, ok) && ok[0] && ok[1] && ok[2];
    GDALDestroyGenImgProjTransformer(hTransform);
    if (!bOk)
        return GdalFailure(QStringLiteral("cannot find the resolution of ") + m_strPath);
    // A degree of longitude is cos(latitude) degrees of latitude long.
    const double dCos = std::cos(dLatitude * M_PI / MAPIMPORT_HALF_TURN);
    const double dAcross = std::hypot((x[1] - x[0]) * dCos, y[1] - y[0]);
    const double dDown = std::hypot((x[2] - x[0]) * dCos, y[2] - y[0]);
    dSeconds = std::min(dAcross, dDown) * MAPSHEET_SECONDS_PER_DEGREE;
    return COutcome::Ok();
}

GDALWarpOptions* CGdalMapSource::NewWarpOptions() const
{
    GDALWarpOptions* pWarp = GDALCreateWarpOptions();
    pWarp->hSrcDS = Raster();
    pWarp->eResampleAlg = GRA_Bilinear;
    pWarp->eWorkingDataType = GDT_Byte;
    pWarp->nBandCount = MAPIMPORT_CHANNELS;
    pWarp->panSrcBands = static_cast<int*>(CPLMalloc(MAPIMPORT_CHANNELS * sizeof(int)));
    pWarp->panDstBands = static_cast<int*>(CPLMalloc(MAPIMPORT_CHANNELS * sizeof(int)));
    int bHasNoData = FALSE;
    const double dNoData = GDALGetRasterNoDataValue(GDALGetRasterBand(Raster(), m_nBands[0]), &bHasNoData);
    if (bHasNoData)
        pWarp->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(MAPIMPORT_CHANNELS * sizeof(double)));
    for (int i = 0; i < MAPIMPORT_CHANNELS; ++i) {
        pWarp->panSrcBands[i] = m_nBands[i];
        pWarp->panDstBands[i] = i + 1;
        if (bHasNoData)
            pWarp->padfSrcNoDataReal[i] = dNoData;
    }
    pWarp->nSrcAlphaBand = m_nAlphaBand;
    // The import is bound by the warp kernel, which splits each strip's rows
    // over all cores.
    pWarp->papszWarpOptions = CSLSetNameValue(pWarp->papszWarpOptions, "NUM_THREADS", "ALL_CPUS");
    return pWarp;
}

COutcome CGdalMapSource::Warp(const CMapSheet& window, const MapPlaneSink& fnSink) const
{
    const CQuietGdal quiet;
    void* hExact = CreateTransformer();
    if (!hExact)
        return NotRelated(m_strPath);
    const CArcBox& b = window.m_box;
    // The window's longitudes as the source has them.
    double dCentreX = 0;
    double dCentreY = 0;
    double dShift = 0;
    PixelAt(hExact, Raster(), double(b.m_nWest + b.m_nEast) / 2 / MAPSHEET_SECONDS_PER_DEGREE,
            double(b.m_nSouth + b.m_nNorth) / 2 / MAPSHEET_SECONDS_PER_DEGREE, dCentreX, dCentreY, dShift);
    double gt[6] = {double(b.m_nWest) / MAPSHEET_SECONDS_PER_DEGREE + dShift,
                    double(b.m_nEast - b.m_nWest) / MAPSHEET_SECONDS_PER_DEGREE / window.m_nWidth,
                    0,
                    double(b.m_nNorth) / MAPSHEET_SECONDS_PER_DEGREE,
                    0,
                    -double(b.m_nNorth - b.m_nSouth) / MAPSHEET_SECONDS_PER_DEGREE / window.m_nHeight};
    GDALSetGenImgProjTransformerDstGeoTransform(hExact, gt);
    // Projecting every pixel exactly costs most of the time; the transform
    // is interpolated along each line wherever that stays within the error.
    const std::unique_ptr<void, void (*)(void*)> transform(
        GDALCreateApproxTransformer(GDALGenImgProjTransform, hExact, MAPIMPORT_APPROX_ERROR), GDALDestroyTransformer);
    if (!transform) {
        GDALDestroyGenImgProjTransformer(hExact);
        return NotRelated(m_strPath);
    }
    GDALApproxTransformerOwnsSubtransformer(transform.get(), TRUE);
    GDALWarpOptions* pWarp = NewWarpOptions();
    pWarp->pfnTransformer = GDALApproxTransform;
    pWarp->pTransformerArg = transform.get();
    // The strips are warped straight into memory: no destination dataset.
    const std::unique_ptr<void, void (*)(GDALWarpOperationH)> operation(GDALCreateWarpOperation(pWarp),
                                                                       GDALDestroyWarpOperation);
    GDALDestroyWarpOptions(pWarp);
    if (!operation)
        return NotRelated(m_strPath);

    const int nWidth = window.m_nWidth;
    const int nStripRows = int(std::clamp<int64_t>(MAPIMPORT_STRIP_BYTES / (int64_t(nWidth) * MAPIMPORT_CHANNELS),
                                                   MAPIMPORT_MIN_STRIP_ROWS, MAPIMPORT_MAX_STRIP_ROWS));
    std::vector<uint8_t> planes(size_t(nWidth) * size_t(nStripRows) * MAPIMPORT_CHANNELS);
    std::vector<uint8_t> piece(size_t(std::min(nWidth, MAPIMPORT_PIECE_COLUMNS)) * size_t(nStripRows)
                               * MAPIMPORT_CHANNELS);
    COutcome outcome;
    for (int nEnd = window.m_nHeight; nEnd > 0 && outcome; nEnd -= nStripRows) {
        const int nRows = std::min(nEnd, nStripRows);
        // A strip is warped in pieces: across a whole wide strip, a source
        // turned against the grid spans so many more rows than the strip
        // that GDAL takes it for shrinking and leaves its fast bilinear path.
        for (int nLeft = 0; nLeft < nWidth && outcome; nLeft += MAPIMPORT_PIECE_COLUMNS) {
            const int nColumns = std::min(nWidth - nLeft, MAPIMPORT_PIECE_COLUMNS);
            // Whatever the source leaves uncovered or transparent stays white.
            std::fill(piece.begin(), piece.end(), MAPIMPORT_WHITE);
            if (GDALWarpRegionToBuffer(operation.get(), nLeft, nEnd - nRows, nColumns, nRows, piece.data(), GDT_Byte,
                                       0, 0, 0, 0)
                != CE_None) {
                outcome = GdalFailure(QStringLiteral("cannot read ") + m_strPath);
                break;
            }
            for (int c = 0; c < MAPIMPORT_CHANNELS; ++c) {
                for (int y = 0; y < nRows; ++y) {
                    const uint8_t* pbyFrom = piece.data() + (size_t(c) * size_t(nRows) + size_t(y)) * size_t(nColumns);
                    std::copy(pbyFrom, pbyFrom + nColumns,
                              planes.begin() + std::ptrdiff_t((size_t(c) * size_t(nRows) + size_t(y)) * size_t(nWidth)
                                                              + size_t(nLeft)));
                }
            }
        }
        if (outcome)
            outcome = fnSink(planes.data(), nEnd - nRows, nRows);
    }
    return outcome;
}
