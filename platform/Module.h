#pragma once

#include <QString>

// Parts that only some runs need (map import through GDAL, the painting
// commands of veltrip-cli) are shared objects loaded on first use, so that
// the programs start without their libraries. A module lies beside the
// program (the build folder) or in the package's private library folder.

// The loaded module szFileName, or null with the loader's reason in
// strError. A module stays loaded until the program ends.
void* OpenModule(const char* szFileName, QString& strError);

// The address of szSymbol in a module, or null with the reason in strError.
void* ModuleSymbol(void* pModule, const char* szSymbol, QString& strError);

// The entry szSymbol of the module szFileName as a function of type Entry,
// or null with the reason in strError.
template <typename Entry>
Entry ModuleEntry(const char* szFileName, const char* szSymbol, QString& strError)
{
    void* pModule = OpenModule(szFileName, strError);
    return pModule ? reinterpret_cast<Entry>(ModuleSymbol(pModule, szSymbol, strError)) : nullptr;
}
