#include "map/MapImport.h"

#include "map/BmpSheetFile.h"
#include "map/CMapBitmap.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>

namespace {

// A name read back through the calibration must give the sheet's edges.
constexpr double MAPIMPORT_EDGE_TOLERANCE = 1e-9;
constexpr double MAPIMPORT_MEGABYTE = 1024.0 * 1024.0;

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

QString Megabytes(int64_t nBytes)
{
    return QString::number(double(nBytes) / MAPIMPORT_MEGABYTE, 'f', 1) + QStringLiteral(" MB");
}

}

COutcome CMapImport::Plan(const CMapImportRequest& request)
{
    m_strDir = request.m_strDir;
    m_sheets.clear();
    CGeoBox area;
    COutcome outcome = m_source.Open(request.m_strSource);
    if (outcome)
        outcome = ChooseArea(request, area);
    if (outcome)
        outcome = ChooseResolution(request, area);
    if (outcome)
        outcome = LayOut(request, area);
    return outcome ? CheckNames() : outcome;
}

COutcome CMapImport::ChooseArea(const CMapImportRequest& request, CGeoBox& area) const
{
    if (COutcome outcome = m_source.Footprint(area); !outcome)
        return outcome;
    if (!request.m_area)
        return COutcome::Ok();
    if (!Overlaps(area, *request.m_area))
        return COutcome::Fail(QStringLiteral("the area lies outside the map ") + request.m_strSource);
    area = Intersection(area, *request.m_area);
    return COutcome::Ok();
}

COutcome CMapImport::ChooseResolution(const CMapImportRequest& request, const CGeoBox& area)
{
    m_dResolution = request.m_dResolution;
    if (m_dResolution <= 0) {
        const COutcome outcome = m_source.ResolutionAt((area.m_dWest + area.m_dEast) / 2,
                                                       (area.m_dSouth + area.m_dNorth) / 2, m_dResolution);
        if (!outcome)
            return outcome;
    }
    if (!std::isfinite(m_dResolution) || m_dResolution <= 0)
        return COutcome::Fail(QStringLiteral("cannot find the resolution of ") + request.m_strSource);
    return COutcome::Ok();
}

COutcome CMapImport::LayOut(const CMapImportRequest& request, const CGeoBox& area)
{
    const CArcBox box = SnapOutward(area.m_dWest, area.m_dSouth, area.m_dEast, area.m_dNorth);
    const int64_t nCount = CountSheets(box, m_dResolution, request.m_nSheetPixels);
    if (nCount == 0) {
        return COutcome::Fail(QStringLiteral("sheets of %1 pixels at %2 arc-seconds per pixel are too small to "
                                             "overlap by whole arc-seconds")
                                  .arg(request.m_nSheetPixels)
                                  .arg(m_dResolution, 0, 'g', 6));
    }
    if (nCount > request.m_nMaxSheets) {
        return COutcome::Fail(QStringLiteral("the map would take %1 sheets, more than the %2 allowed")
                                  .arg(nCount)
                                  .arg(request.m_nMaxSheets));
    }
    m_sheets = LayOutSheets(box, m_dResolution, request.m_nSheetPixels);
    const QString strStem = QFileInfo(request.m_strSource).completeBaseName();
    for (CMapSheet& sheet : m_sheets)
        sheet.m_strName = SheetFileName(strStem, sheet);
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

QStringList CMapImport::SheetPaths() const
{
    QStringList paths;
    for (const CMapSheet& sheet : m_sheets)
        paths << QDir(m_strDir).filePath(sheet.m_strName);
    return paths;
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

COutcome CMapImport::WriteSheet(const CMapSheet& sheet, CBmpSheetFile& file, const QString& strPath,
                                const std::function<bool(int nRows)>& fnRowsDone) const
{
    if (COutcome outcome = file.Create(strPath, sheet.m_nWidth, sheet.m_nHeight); !outcome)
        return outcome;
    const COutcome outcome = m_source.WarpSheet(sheet, [&](const uint8_t* pbyRows, int nRows, int nStride) {
        if (COutcome written = file.AppendRowsUpward(pbyRows, nRows, nStride); !written)
            return written;
        if (!fnRowsDone(nRows))
            return COutcome::Fail(EOutcome::Cancelled, QStringLiteral("import cancelled"));
        return COutcome::Ok();
    });
    return outcome ? file.Finish() : outcome;
}

COutcome CMapImport::Write(const MapImportProgress& fnProgress)
{
    if (COutcome outcome = CheckFreeSpace(); !outcome)
        return outcome;
    int64_t nTotalRows = 0;
    for (const CMapSheet& sheet : m_sheets)
        nTotalRows += sheet.m_nHeight;
    int64_t nRowsDone = 0;
    const auto fnRowsDone = [&](int nRows) {
        nRowsDone += nRows;
        return !fnProgress || fnProgress(double(nRowsDone) / double(nTotalRows));
    };

    // Every sheet is written under a temporary name first and renamed only
    // when all are complete; the files remove themselves unless committed.
    const QStringList paths = SheetPaths();
    std::vector<std::unique_ptr<CBmpSheetFile>> files;
    for (size_t i = 0; i < m_sheets.size(); ++i) {
        files.push_back(std::make_unique<CBmpSheetFile>());
        if (COutcome outcome = WriteSheet(m_sheets[i], *files.back(), paths[qsizetype(i)], fnRowsDone); !outcome)
            return outcome;
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (COutcome outcome = files[i]->Commit(); !outcome) {
            for (size_t k = 0; k < i; ++k)
                QFile::remove(paths[qsizetype(k)]);
            return outcome;
        }
    }
    return COutcome::Ok();
}
