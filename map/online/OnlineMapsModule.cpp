// The entry of the online maps module, the one symbol it exports.
#include "map/online/COnlineSheetMaker.h"

extern "C" [[gnu::visibility("default")]] COnlineMaps* VeltripNewOnlineMaps()
{
    return new COnlineSheetMaker;
}
