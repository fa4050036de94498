#pragma once

#include "map/BmpSheetFile.h"
#include "map/GdalMapSource.h"
#include "map/MapImporter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The importer of the module (see map/MapImporter.h), through GDAL.
class CMapImport : public CMapImporter
{
public:
    COutcome Plan(const CMapImportRequest& request) override;
    const std::vector<CMapSheet>& Sheets() const override { return m_sheets; }
    int64_t TotalBytes() const override;
    double Resolution() const override { return m_dResolution; }
    COutcome Write(const MapImportProgress& fnProgress) override;
    QStringList SheetPaths() const override;

private:
    COutcome ChooseArea(const CMapImportRequest& request, CGeoBox& area) const;
    COutcome ChooseResolution(const CMapImportRequest& request, const CGeoBox& area);
    COutcome LayOut(const CMapImportRequest& request, const CGeoBox& area);
    COutcome CheckNames() const;
    COutcome CheckFreeSpace() const;
    COutcome WriteSheet(const CMapSheet& sheet, CBmpSheetFile& file, const QString& strPath,
                        const std::function<bool(int nRows)>& fnRowsDone) const;

    CGdalMapSource m_source;
    QString m_strDir;
    double m_dResolution = 0;
    std::vector<CMapSheet> m_sheets;
};
