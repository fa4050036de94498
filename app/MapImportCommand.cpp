#include "app/MapImportCommand.h"

#include "app/ExitSignals.h"
#include "app/FileDialogs.h"
#include "app/WorkerProgress.h"
#include "map/MapCatalogue.h"
#include "map/MapImporter.h"
#include "platform/DevicePaths.h"
#include "platform/MessageHook.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <atomic>
#include <cstring>
#include <memory>

namespace {

constexpr const char* FILTER_IMPORT_MAP =
    "GeoTIFF (*.tif *.tiff)|*.tif *.tiff|GeoPDF (*.pdf)|*.pdf|MBTiles (*.mbtiles)|*.mbtiles|"
    "GeoPackage (*.gpkg)|*.gpkg|OziExplorer map (*.map)|*.map|BSB/KAP chart (*.kap)|*.kap|"
    "Image with world file (*.png *.jpg *.jpeg *.gif)|*.png *.jpg *.jpeg *.gif|All files (*)|*||";
constexpr int IMPORT_PROGRESS_STEPS = 1000;
constexpr int IMPORT_POLL_MS = 100;

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
// window alive; the thread only touches the atomics and its own objects.
COutcome ImportWithProgress(QWidget* pParent, const CMapImportRequest& request, QStringList& sheetPaths)
{
    std::atomic<int> nProgress {0};
    std::atomic<bool> bCancel {false};
    COutcome outcome;
    const std::unique_ptr<CMapImporter> pImport = NewMapImporter(outcome);
    if (!pImport)
        return outcome;
    const MapImportProgress fnProgress = [&](double dDone) {
        nProgress = int(dDone * IMPORT_PROGRESS_STEPS);
        return !bCancel;
    };
    const auto work = [&] {
        outcome = pImport->Plan(request, fnProgress);
        if (outcome)
            outcome = pImport->Write(fnProgress);
    };

    QProgressDialog dialog(QStringLiteral("Importing %1").arg(QFileInfo(request.m_strSource).fileName()),
                           QStringLiteral("Cancel"), 0, IMPORT_PROGRESS_STEPS, pParent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { bCancel = true; });
    // A stop signal closes the dialog and ends the event loops: the import
    // is cancelled with them, so shut-down soon ends the log with its KML copy.
    RunWithProgress(dialog, IMPORT_POLL_MS, work, [&] {
        dialog.setValue(nProgress);
        if (ExitRequested())
            bCancel = true;
    });
    if (outcome)
        sheetPaths = pImport->SheetPaths();
    return outcome;
}

}

QStringList ImportMapCommand(QWidget* pParent, CMapList& mapList)
{
    CMapImportRequest request;
    request.m_strSource = PromptImportMap(pParent);
    if (request.m_strSource.isEmpty())
        return {};
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
    return sheetPaths;
}
