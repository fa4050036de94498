#include "map/MapImporter.h"

#include "platform/Module.h"

namespace {

using MapImporterFactory = CMapImporter* (*)();

MapImporterFactory LoadFactory()
{
    QString strError;
    void* pModule = OpenModule(MAPIMPORT_MODULE, strError);
    return pModule ? reinterpret_cast<MapImporterFactory>(ModuleSymbol(pModule, MAPIMPORT_FACTORY, strError)) : nullptr;
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
