#include "platform/Module.h"

#include <climits>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

// The folder of the running program, not of whatever link started it.
std::string ProgramFolder()
{
    char szPath[PATH_MAX];
    const ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    if (nLength <= 0)
        return std::string(".");
    const std::string strPath(szPath, size_t(nLength));
    return strPath.substr(0, strPath.rfind('/'));
}

}

void* OpenModule(const char* szFileName, QString& strError)
{
    const std::string strFolder = ProgramFolder();
    // VELTRIP_MODULE_DIR is the private library folder relative to the
    // installed programs' folder, so the package may be installed anywhere.
    const std::string folders[] = {strFolder, strFolder + '/' + VELTRIP_MODULE_DIR};
    for (const std::string& strFolderTried : folders) {
        const std::string strPath = strFolderTried + '/' + szFileName;
        if (access(strPath.c_str(), F_OK) != 0)
            continue;
        if (void* pModule = dlopen(strPath.c_str(), RTLD_NOW | RTLD_LOCAL))
            return pModule;
        strError = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    strError = QStringLiteral("%1 is in neither %2 nor %3")
                   .arg(QString::fromLocal8Bit(szFileName), QString::fromStdString(folders[0]),
                        QString::fromStdString(folders[1]));
    return nullptr;
}

void* ModuleSymbol(void* pModule, const char* szSymbol, QString& strError)
{
    void* pSymbol = dlsym(pModule, szSymbol);
    if (!pSymbol)
        strError = QString::fromLocal8Bit(dlerror());
    return pSymbol;
}
