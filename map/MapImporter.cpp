#include "map/MapImporter.h"

#include "platform/Module.h"

namespace {

using MapImporterFactory = CMapImporter* (*)();

MapImporterFactory LoadFactory()
{
    QString strError;
    return ModuleEntry<MapImporterFactory>(MAPIMPORT_MODULE, MAPIMPORT_FACTORY, strError);
}

}

std::unique_ptr<CMapImporter> NewMapImporter(COutcome& outcome)
{
    // Loaded once, whichever thread asks first.
    static const MapImporterFactory g_pfnNew = LoadFactory();
    if (!g_pfnNew) {
        outcome = COutcome::Fail(QStringLiteral("Map import needs GDAL (Debian: libgdal32)"));
        return nullptr;
    }
    outcome = COutcome::Ok();
    return std::unique_ptr<CMapImporter>(g_pfnNew());
}
