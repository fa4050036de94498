#include "app/MapImportCommand.h"

#include "app/FileDialogs.h"
#include "app/WorkerProgress.h"
#include "map/MapCatalogue.h"
#include "map/MapImporter.h"
#include "platform/DevicePaths.h"
#include "platform/MessageHook.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <cstring>
#include <memory>

namespace {

constexpr const char* FILTER_IMPORT_MAP =
    "GeoTIFF (*.tif *.tiff)|*.tif *.tiff|GeoPDF (*.pdf)|*.pdf|MBTiles (*.mbtiles)|*.mbtiles|"
    "GeoPackage (*.gpkg)|*.gpkg|OziExplorer map (*.map)|*.map|BSB/KAP chart (*.kap)|*.kap|"
    "Image with world file (*.png *.jpg *.jpeg *.gif)|*.png *.jpg *.jpeg *.gif|All files (*)|*||";

QString PromptImportMap(QWidget* pParent)
{
    QFileDialog dialog(pParent, QStringLiteral("Import map"), QDir::homePath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(NameFilters(FILTER_IMPORT_MAP));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

// Runs the import on its own thread while the dialog's event loop keeps the
// window alive; the thread only touches its own objects.
COutcome ImportWithProgress(QWidget* pParent, const CMapImportRequest& request, QStringList& sheetPaths)
{
    COutcome outcome;
    const std::unique_ptr<CMapImporter> pImport = NewMapImporter(outcome);
    if (!pImport)
        return outcome;
    RunCancellableWork(pParent, QStringLiteral("Importing %1").arg(QFileInfo(request.m_strSource).fileName()),
                       [&](const WorkerProgress& fnProgress) {
                           outcome = pImport->Plan(request, fnProgress);
                           if (outcome)
                               outcome = pImport->Write(fnProgress);
                       });
    if (outcome)
        sheetPaths = pImport->SheetPaths();
    return outcome;
}

}

void ImportMapCommand(QWidget* pParent, CMapList& mapList)
{
    CMapImportRequest request;
    request.m_strSource = PromptImportMap(pParent);
    if (request.m_strSource.isEmpty())
        return;
    request.m_strDir = HostPath(GPS_FOLDER);
    QStringList sheetPaths;
    const COutcome outcome = ImportWithProgress(pParent, request, sheetPaths);
    if (outcome) {
        AddSheetsToCatalogue(mapList, sheetPaths);
    } else if (outcome.Kind() != EOutcome::Cancelled) {
        ShowMessage(outcome.Errno() ? outcome.Message() + QStringLiteral(": ")
                                          + QString::fromLocal8Bit(std::strerror(outcome.Errno()))
                                    : outcome.Message());
    }
}
