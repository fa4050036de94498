#include "map/MapImport.h"

#include "map/BmpSheetFile.h"
#include "map/CMapBitmap.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <functional>
#include <sys/stat.h>
#include <cerrno>
#include <cmath>
#include <memory>

namespace {

// A name read back through the calibration must give the sheet's edges.
constexpr double MAPIMPORT_EDGE_TOLERANCE = 1e-9;
constexpr double MAPIMPORT_MEGABYTE = 1024.0 * 1024.0;
// The widest band of sheet columns warped in one pass; wider maps take
// several, and only the overlap where two bands meet is warped twice.
constexpr int MAPIMPORT_BAND_PIXELS = 16384;
// What the warp leaves where the source gives nothing: white.
constexpr uint8_t MAPIMPORT_BLANK = 255;
// Near a pole the longitude step stops growing: about 0.3 degrees from it.
constexpr double MAPIMPORT_MIN_COSINE = 0.005;
// Digits a resolution of our own choosing keeps: its last is 0.05 % of it.
constexpr int MAPIMPORT_RESOLUTION_DIGITS = 4;

bool Overlaps(const CGeoBox& a, const CGeoBox& b)
{
    return a.m_dWest < b.m_dEast && b.m_dWest < a.m_dEast && a.m_dSouth < b.m_dNorth && b.m_dSouth < a.m_dNorth;
}

CGeoBox Intersection(const CGeoBox& a, const CGeoBox& b)
{
    return {std::max(a.m_dWest, b.m_dWest), std::max(a.m_dSouth, b.m_dSouth), std::min(a.m_dEast, b.m_dEast),
            std::min(a.m_dNorth, b.m_dNorth)};
}

bool NearlyEqual(double dRead, int64_t nSeconds)
{
    return std::abs(dRead - double(nSeconds) / MAPSHEET_SECONDS_PER_DEGREE) <= MAPIMPORT_EDGE_TOLERANCE;
}

// A resolution to MAPIMPORT_RESOLUTION_DIGITS significant digits.
double RoundedResolution(double dSeconds)
{
    if (!(dSeconds > 0) || !std::isfinite(dSeconds))
        return dSeconds;
    const double dScale = std::pow(10.0, MAPIMPORT_RESOLUTION_DIGITS - 1 - std::floor(std::log10(dSeconds)));
    return std::round(dSeconds * dScale) / dScale;
}

COutcome Cancelled()
{
    return COutcome::Fail(EOutcome::Cancelled, QStringLiteral("import cancelled"));
}

QString Megabytes(int64_t nBytes)
{
    return QString::number(double(nBytes) / MAPIMPORT_MEGABYTE, 'f', 1) + QStringLiteral(" MB");
}

}

COutcome CMapImport::Plan(const CMapImportRequest& request, const MapImportProgress& fnProgress)
{
    m_strDir = request.m_strDir;
    m_strSource = request.m_strSource;
    m_sheets.clear();
    m_extents.clear();
    m_written.clear();
    std::vector<CGeoBox> area;
    const std::function<COutcome()> STEPS[] = {
        [&] { return m_source.Open(request.m_strSource); },
        [&] { return ChooseArea(request, area); },
        [&] { return ChooseResolution(request, area); },
        [&] { return LayOut(request, area); },
        [&] { return CheckNames(); },
    };
    for (const auto& fnStep : STEPS) {
        if (fnProgress && !fnProgress(0))
            return Cancelled();
        if (COutcome outcome = fnStep(); !outcome)
            return outcome;
    }
    return COutcome::Ok();
}

COutcome CMapImport::ChooseArea(const CMapImportRequest& request, std::vector<CGeoBox>& parts) const
{
    if (COutcome outcome = m_source.Footprint(parts); !outcome)
        return outcome;
    if (!request.m_area)
        return COutcome::Ok();
    std::vector<CGeoBox> wanted;
    for (const CGeoBox& part : parts) {
        if (Overlaps(part, *request.m_area))
            wanted.push_back(Intersection(part, *request.m_area));
    }
    if (wanted.empty())
        return COutcome::Fail(QStringLiteral("the area lies outside the map ") + request.m_strSource);
    parts = wanted;
    return COutcome::Ok();
}

COutcome CMapImport::ChooseResolution(const CMapImportRequest& request, const std::vector<CGeoBox>& parts)
{
    // The centre of the area; of one across the antimeridian, east of 180.
    const double dEast = parts.back().m_dEast + (parts.size() > 1 ? MAPSHEET_TURN_DEGREES : 0);
    const double dLongitude = (parts.front().m_dWest + dEast) / 2;
    const double dLatitude = (parts.front().m_dSouth + parts.front().m_dNorth) / 2;
    const double dCos = std::cos(dLatitude * M_PI / (MAPSHEET_TURN_DEGREES / 2));
    m_resolution = request.m_resolution;
    if (m_resolution.m_dLatitude <= 0) {
        if (COutcome outcome = m_source.ResolutionAt(dLongitude, dLatitude, m_resolution.m_dLatitude); !outcome)
            return outcome;
        m_resolution.m_dLatitude = RoundedResolution(m_resolution.m_dLatitude);
    }
    if (m_resolution.m_dLongitude <= 0) {
        m_resolution.m_dLongitude = m_resolution.m_dLatitude / std::max(dCos, MAPIMPORT_MIN_COSINE);
        // Without the noise of the cosine, a map of whole seconds keeps its
        // grid.
        m_resolution.m_dLongitude = RoundedResolution(m_resolution.m_dLongitude);
    }
    for (const double d : {m_resolution.m_dLatitude, m_resolution.m_dLongitude}) {
        if (!std::isfinite(d) || d <= 0)
            return COutcome::Fail(QStringLiteral("cannot find the resolution of ") + request.m_strSource);
    }
    // The finer of the two on the ground.
    const double dGround = std::min(m_resolution.m_dLatitude, m_resolution.m_dLongitude * dCos);
    return m_source.ReduceTo(dLongitude, dLatitude, dGround);
}

COutcome CMapImport::LayOut(const CMapImportRequest& request, const std::vector<CGeoBox>& parts)
{
    std::vector<CArcBox> boxes;
    int64_t nCount = 0;
    for (const CGeoBox& part : parts) {
        boxes.push_back(SnapOutward(part));
        // The grid widens a box east to whole cells; one that ends at the
        // antimeridian is widened west instead, so no name passes 180.
        if (parts.size() > 1 && boxes.size() == 1) {
            const CGridCell cell = GridCell(m_resolution.m_dLongitude);
            CArcBox& box = boxes.back();
            const int64_t nCells = (box.m_nEast - box.m_nWest + cell.nSeconds - 1) / cell.nSeconds;
            box.m_nWest = box.m_nEast - nCells * cell.nSeconds;
        }
        const int64_t nPart = CountSheets(boxes.back(), m_resolution, request.m_nSheetPixels);
        if (nPart == 0) {
            return COutcome::Fail(QStringLiteral("sheets of %1 pixels at %2 by %3 arc-seconds per pixel are too small "
                                                 "to overlap by whole arc-seconds")
                                      .arg(request.m_nSheetPixels)
                                      .arg(m_resolution.m_dLatitude, 0, 'g', 6)
                                      .arg(m_resolution.m_dLongitude, 0, 'g', 6));
        }
        nCount += nPart;
    }
    if (nCount > request.m_nMaxSheets) {
        return COutcome::Fail(QStringLiteral("the map would take %1 sheets, more than the %2 allowed")
                                  .arg(nCount)
                                  .arg(request.m_nMaxSheets));
    }
    // Each part has a grid of its own; the columns of the part east of the
    // antimeridian are counted on from those west of it.
    const QString strStem = QFileInfo(request.m_strSource).completeBaseName();
    int nColumns = 0;
    for (size_t nPart = 0; nPart < boxes.size(); ++nPart) {
        CMapSheet extent = GridExtent(boxes[nPart], m_resolution);
        extent.m_nPart = int(nPart);
        m_extents.push_back(extent);
        int nPartColumns = 0;
        for (CMapSheet& sheet : LayOutSheets(boxes[nPart], m_resolution, request.m_nSheetPixels)) {
            sheet.m_nPart = int(nPart);
            nPartColumns = std::max(nPartColumns, sheet.m_nCol + 1);
            sheet.m_nCol += nColumns;
            sheet.m_strName = SheetFileName(strStem, sheet);
            m_sheets.push_back(sheet);
        }
        nColumns += nPartColumns;
    }
    return COutcome::Ok();
}

COutcome CMapImport::CheckNames() const
{
    for (const CMapSheet& sheet : m_sheets) {
        CMapBitmap probe;
        probe.m_path = QDir(m_strDir).filePath(sheet.m_strName);
        const CArcBox& b = sheet.m_box;
        const bool bExact = probe.ParseCalibration() && NearlyEqual(probe.m_lonMin, b.m_nWest)
                            && NearlyEqual(probe.m_lonMax, b.m_nEast) && NearlyEqual(probe.m_latMin, b.m_nSouth)
                            && NearlyEqual(probe.m_latMax, b.m_nNorth);
        if (!bExact) {
            // Below the storage card folder the folders' names count too.
            return COutcome::Fail(QStringLiteral("the calibration of %1 would not read back in %2: an upper-case "
                                                 "X in the folder's path comes first")
                                      .arg(sheet.m_strName, m_strDir));
        }
    }
    return COutcome::Ok();
}

int64_t CMapImport::TotalBytes() const
{
    int64_t nTotal = 0;
    for (const CMapSheet& sheet : m_sheets)
        nTotal += BmpFileSize(sheet.m_nWidth, sheet.m_nHeight);
    return nTotal;
}

QStringList CMapImport::AllPaths() const
{
    QStringList paths;
    for (const CMapSheet& sheet : m_sheets)
        paths << QDir(m_strDir).filePath(sheet.m_strName);
    return paths;
}

QStringList CMapImport::SheetPaths() const
{
    return m_written;
}

COutcome CMapImport::CheckTargets(const QStringList& paths)
{
    for (const QString& strPath : paths) {
        struct stat st {};
        if (::lstat(QFile::encodeName(strPath).constData(), &st) == 0 && !S_ISREG(st.st_mode)
            && !S_ISLNK(st.st_mode)) {
            return COutcome::Fail(QStringLiteral("cannot write %1: something that is not a file has its name")
                                      .arg(strPath),
                                  EEXIST);
        }
    }
    return COutcome::Ok();
}

COutcome CMapImport::CheckFreeSpace() const
{
    if (!QDir().mkpath(m_strDir) || !QFileInfo(m_strDir).isDir())
        return COutcome::Fail(QStringLiteral("cannot create the folder ") + m_strDir);
    const QStorageInfo storage(m_strDir);
    const int64_t nNeeded = TotalBytes();
    if (storage.isValid() && storage.bytesAvailable() < nNeeded) {
        return COutcome::Fail(QStringLiteral("not enough free space in %1: the sheets take %2, %3 are free")
                                  .arg(m_strDir, Megabytes(nNeeded), Megabytes(storage.bytesAvailable())),
                              ENOSPC);
    }
    return COutcome::Ok();
}

std::vector<CMapSheet> CMapImport::ColumnBands() const
{
    std::vector<CMapSheet> bands;
    for (const CMapSheet& sheet : m_sheets) {
        if (sheet.m_nRow != 0)
            continue;
        CMapSheet* pLast = bands.empty() ? nullptr : &bands.back();
        if (pLast && pLast->m_nPart == sheet.m_nPart
            && sheet.m_nLeft + sheet.m_nWidth - pLast->m_nLeft <= MAPIMPORT_BAND_PIXELS) {
            pLast->m_box.m_nEast = sheet.m_box.m_nEast;
            pLast->m_nWidth = sheet.m_nLeft + sheet.m_nWidth - pLast->m_nLeft;
            continue;
        }
        CMapSheet band = m_extents[size_t(sheet.m_nPart)];
        band.m_box.m_nWest = sheet.m_box.m_nWest;
        band.m_box.m_nEast = sheet.m_box.m_nEast;
        band.m_nLeft = sheet.m_nLeft;
        band.m_nWidth = sheet.m_nWidth;
        bands.push_back(band);
    }
    return bands;
}

COutcome CMapImport::CutStrip(const CMapSheet& band, const uint8_t* pbyPlanes, int nTop, int nRows,
                              std::vector<CSheetOutput>& outputs, std::vector<uint8_t>& scratch)
{
    const size_t nPlane = size_t(band.m_nWidth) * size_t(nRows);
    for (CSheetOutput& output : outputs) {
        const CMapSheet& sheet = *output.pSheet;
        if (sheet.m_nPart != band.m_nPart)
            continue;
        const int nFirst = std::max(nTop, sheet.m_nTop);
        const int nEnd = std::min(nTop + nRows, sheet.m_nTop + sheet.m_nHeight);
        const int nLeft = sheet.m_nLeft - band.m_nLeft;
        if (nFirst >= nEnd || nLeft < 0 || nLeft + sheet.m_nWidth > band.m_nWidth)
            continue;
        if (output.nRowsWritten == 0 && !output.file) {
            output.file = std::make_unique<CBmpSheetFile>();
            if (COutcome outcome = output.file->Create(output.strPath, sheet.m_nWidth, sheet.m_nHeight); !outcome)
                return outcome;
        }
        const int nStride = (sheet.m_nWidth * 3 + 3) & ~3;
        scratch.resize(std::max(scratch.size(), size_t(nStride) * size_t(nEnd - nFirst)));
        for (int y = nFirst; y < nEnd; ++y) {
            const uint8_t* pbyRed = pbyPlanes + size_t(y - nTop) * size_t(band.m_nWidth) + size_t(nLeft);
            uint8_t* pbyOut = scratch.data() + size_t(y - nFirst) * size_t(nStride);
            for (int x = 0; x < sheet.m_nWidth; ++x) {
                pbyOut[3 * x] = pbyRed[x + 2 * nPlane];
                pbyOut[3 * x + 1] = pbyRed[x + nPlane];
                pbyOut[3 * x + 2] = pbyRed[x];
            }
            std::fill(pbyOut + 3 * sheet.m_nWidth, pbyOut + nStride, 0);
            output.bInk = output.bInk || std::any_of(pbyOut, pbyOut + 3 * sheet.m_nWidth, [](uint8_t by) {
                              return by != MAPIMPORT_BLANK;
                          });
        }
        if (COutcome outcome = output.file->AppendRowsUpward(scratch.data(), nEnd - nFirst, nStride); !outcome)
            return outcome;
        output.nRowsWritten += nEnd - nFirst;
        if (output.nRowsWritten == sheet.m_nHeight) {
            if (COutcome outcome = output.file->Finish(); !outcome)
                return outcome;
        }
    }
    return COutcome::Ok();
}

COutcome CMapImport::Write(const MapImportProgress& fnProgress)
{
    m_written.clear();
    if (COutcome outcome = CheckFreeSpace(); !outcome)
        return outcome;
    const QStringList paths = AllPaths();
    if (COutcome outcome = CheckTargets(paths); !outcome)
        return outcome;
    // Every sheet is written under a temporary name first and renamed only
    // when all are complete; the files remove themselves unless committed.
    std::vector<CSheetOutput> outputs;
    for (size_t i = 0; i < m_sheets.size(); ++i)
        outputs.push_back({&m_sheets[i], paths[qsizetype(i)], nullptr, 0, false});

    // The sheets share one pixel grid: it is warped once, from the bottom
    // up, a band of columns at a time so a strip stays small however wide
    // the map, and each strip is cut into the sheets it holds as it comes.
    const std::vector<CMapSheet> bands = ColumnBands();
    int64_t nTotalRows = 0;
    for (const CMapSheet& band : bands)
        nTotalRows += band.m_nHeight;
    int64_t nRowsDone = 0;
    std::vector<uint8_t> scratch;
    for (const CMapSheet& band : bands) {
        if (fnProgress && !fnProgress(double(nRowsDone) / double(nTotalRows)))
            return Cancelled();
        const COutcome outcome = m_source.Warp(band, [&](const uint8_t* pbyPlanes, int nTop, int nRows) {
            if (COutcome cut = CutStrip(band, pbyPlanes, nTop, nRows, outputs, scratch); !cut)
                return cut;
            nRowsDone += nRows;
            if (fnProgress && !fnProgress(double(nRowsDone) / double(nTotalRows)))
                return Cancelled();
            return COutcome::Ok();
        });
        if (!outcome)
            return outcome;
    }
    // A sheet with nothing of the map on it is not worth its space.
    std::vector<CBmpSheetFile*> files;
    for (CSheetOutput& output : outputs) {
        if (output.bInk)
            files.push_back(output.file.get());
        else if (output.file)
            output.file->Discard();
    }
    if (files.empty())
        return COutcome::Fail(QStringLiteral("No readable map in ") + m_strSource);
    if (COutcome outcome = CommitSheets(files); !outcome)
        return outcome;
    for (const CBmpSheetFile* pFile : files)
        m_written << pFile->Path();
    return COutcome::Ok();
}
