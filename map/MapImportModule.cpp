// The entry of the map import module, the one symbol it exports.
#include "map/MapImport.h"

extern "C" [[gnu::visibility("default")]] CMapImporter* VeltripNewMapImporter()
{
    return new CMapImport;
}
