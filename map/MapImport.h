#pragma once

#include "map/BmpSheetFile.h"
#include "map/GdalMapSource.h"
#include "map/MapImporter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// A sheet being written: its file, and how many of its rows are in it.
struct CSheetOutput
{
    const CMapSheet* pSheet = nullptr;
    QString strPath;
    std::unique_ptr<CBmpSheetFile> file;   // made at its first rows
    int nRowsWritten = 0;
    bool bInk = false;   // a pixel other than white
};

// The importer of the module (see map/MapImporter.h), through GDAL.
class CMapImport : public CMapImporter
{
public:
    COutcome Plan(const CMapImportRequest& request, const MapImportProgress& fnProgress) override;
    const std::vector<CMapSheet>& Sheets() const override { return m_sheets; }
    int64_t TotalBytes() const override;
    CResolution Resolution() const override { return m_resolution; }
    COutcome Write(const MapImportProgress& fnProgress) override;
    QStringList SheetPaths() const override;

private:
    // The parts of the area: two where it crosses the antimeridian.
    COutcome ChooseArea(const CMapImportRequest& request, std::vector<CGeoBox>& parts) const;
    COutcome ChooseResolution(const CMapImportRequest& request, const std::vector<CGeoBox>& parts);
    COutcome LayOut(const CMapImportRequest& request, const std::vector<CGeoBox>& parts);
    COutcome CheckNames() const;
    COutcome CheckFreeSpace() const;
    // No folder or other non-file stands where a sheet goes.
    static COutcome CheckTargets(const QStringList& paths);
    QStringList AllPaths() const;
    // Neighbouring sheet columns, each group as one window of the grid.
    std::vector<CMapSheet> ColumnBands() const;
    // Hands the rows of a warped strip of band to every sheet they fall in,
    // creating a sheet's file at its first (bottom) rows and finishing it at
    // its last.
    static COutcome CutStrip(const CMapSheet& band, const uint8_t* pbyPlanes, int nTop, int nRows,
                             std::vector<CSheetOutput>& outputs, std::vector<uint8_t>& scratch);

    CGdalMapSource m_source;
    QString m_strDir;
    QString m_strSource;
    QStringList m_written;
    CResolution m_resolution;
    std::vector<CMapSheet> m_sheets;
    std::vector<CMapSheet> m_extents;   // the whole grid of each part of the area
};
