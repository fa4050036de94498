#pragma once

#include <QString>

// The import reads maps from this computer only, and never waits on a file
// that is not one: a source, and every file a source names (the image of an
// OziExplorer .map, the sources of a VRT, a .prj), must be a regular local
// file. The online maps are the one way to the network, and not through here.

// Sets GDAL up so: every virtual file system that reaches the network (and
// standard input) refuses to open anything, the plain one refuses FIFOs,
// devices and folders, HTTP requests of drivers fail, and PROJ fetches no
// grids. Once per process, after GDALAllRegister.
void ConfineGdal();

// Whether a path names a file on the network, at its start or nested inside
// another virtual path ("/vsizip//vsicurl/http://...").
bool IsNetworkPath(const QString& strPath);
