#include "map/MapImportSandbox.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <memory>
#include <cpl_http.h>
#include <cpl_string.h>
#include <cpl_vsi_virtual.h>
#include <ogr_srs_api.h>
#include <sys/stat.h>

namespace {

// Local, yet it would wait for input that may never come.
constexpr char SANDBOX_STDIN[] = "/vsistdin/";

const char* const SANDBOX_URL_SCHEMES[] = {"http://", "https://", "ftp://", "ftps://"};

// Stands in for a virtual file system the import must not use, and keeps it.
class CRefusingHandler : public VSIFilesystemHandler
{
public:
    explicit CRefusingHandler(VSIFilesystemHandler* pReplaced) : m_pReplaced(pReplaced) {}

    VSIVirtualHandle* Open(const char* szName, const char*, bool bSetError, CSLConstList) override
    {
        if (bSetError)
            CPLError(CE_Failure, CPLE_OpenFailed, "%s is not a file on this computer", szName);
        errno = EACCES;
        return nullptr;
    }
    int Stat(const char*, VSIStatBufL*, int) override
    {
        errno = EACCES;
        return -1;
    }
    bool IsLocal(const char*) override { return false; }

private:
    std::unique_ptr<VSIFilesystemHandler> m_pReplaced;
};

// The plain file system, but a name that is there and is no regular file
// is not opened: opening a FIFO blocks until a writer comes.
class CRegularFilesHandler : public VSIFilesystemHandler
{
public:
    explicit CRegularFilesHandler(VSIFilesystemHandler* pInner) : m_pInner(pInner) {}

    VSIVirtualHandle* Open(const char* szName, const char* szAccess, bool bSetError,
                           CSLConstList options) override
    {
        struct stat st {};
        if (::stat(szName, &st) == 0 && !S_ISREG(st.st_mode)) {
            if (bSetError)
                CPLError(CE_Failure, CPLE_OpenFailed, "%s is not a regular file", szName);
            errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
            return nullptr;
        }
        return m_pInner->Open(szName, szAccess, bSetError, options);
    }
    int Stat(const char* szName, VSIStatBufL* pStat, int nFlags) override
    {
        return m_pInner->Stat(szName, pStat, nFlags);
    }
    int Unlink(const char* szName) override { return m_pInner->Unlink(szName); }
    int Mkdir(const char* szName, long nMode) override { return m_pInner->Mkdir(szName, nMode); }
    int Rmdir(const char* szName) override { return m_pInner->Rmdir(szName); }
    char** ReadDirEx(const char* szName, int nMaxFiles) override { return m_pInner->ReadDirEx(szName, nMaxFiles); }
    char** SiblingFiles(const char* szName) override { return m_pInner->SiblingFiles(szName); }
    int Rename(const char* szFrom, const char* szTo) override { return m_pInner->Rename(szFrom, szTo); }
    int IsCaseSensitive(const char* szName) override { return m_pInner->IsCaseSensitive(szName); }
    GIntBig GetDiskFreeSpace(const char* szName) override { return m_pInner->GetDiskFreeSpace(szName); }
    int SupportsSparseFiles(const char* szName) override { return m_pInner->SupportsSparseFiles(szName); }
    VSIDIR* OpenDir(const char* szName, int nDepth, const char* const* options) override
    {
        return m_pInner->OpenDir(szName, nDepth, options);
    }
    bool IsLocal(const char* szName) override { return m_pInner->IsLocal(szName); }
    bool SupportsSequentialWrite(const char* szName, bool bLocalTemp) override
    {
        return m_pInner->SupportsSequentialWrite(szName, bLocalTemp);
    }
    bool SupportsRandomWrite(const char* szName, bool bLocalTemp) override
    {
        return m_pInner->SupportsRandomWrite(szName, bLocalTemp);
    }

private:
    std::unique_ptr<VSIFilesystemHandler> m_pInner;
};

CPLHTTPResult* RefuseRequest(const char* szUrl, CSLConstList, GDALProgressFunc, void*, CPLHTTPFetchWriteFunc, void*,
                             void*)
{
    auto* pResult = static_cast<CPLHTTPResult*>(CPLCalloc(1, sizeof(CPLHTTPResult)));
    pResult->nStatus = 1;
    pResult->pszErrBuf = CPLStrdup(CPLSPrintf("%s is not a file on this computer", szUrl));
    return pResult;
}

QStringList NetworkPrefixes()
{
    QStringList prefixes;
    const CPLStringList all(VSIFileManager::GetPrefixes());
    for (int i = 0; i < all.size(); ++i) {
        if (!VSIFileManager::GetHandler(all[i])->IsLocal(all[i]))
            prefixes << QString::fromLatin1(all[i]);
    }
    return prefixes;
}

// The network file systems, looked up once before ConfineGdal replaces them.
const QStringList& NetworkFileSystems()
{
    static const QStringList g_prefixes = NetworkPrefixes();
    return g_prefixes;
}

}

void ConfineGdal()
{
    // GDAL owns the handlers installed; each keeps the one it replaces.
    for (const QString& strPrefix : NetworkFileSystems() + QStringList {QString::fromLatin1(SANDBOX_STDIN)}) {
        const QByteArray prefix = strPrefix.toLatin1();
        VSIFileManager::InstallHandler(prefix.toStdString(),
                                       new CRefusingHandler(VSIFileManager::GetHandler(prefix.constData())));
    }
    // The empty prefix is the plain file system.
    VSIFileManager::InstallHandler(std::string(), new CRegularFilesHandler(VSIFileManager::GetHandler("")));
    CPLHTTPSetFetchCallback(RefuseRequest, nullptr);
    OSRSetPROJEnableNetwork(FALSE);
}

bool IsNetworkPath(const QString& strPath)
{
    for (const QString& strPrefix : NetworkFileSystems()) {
        if (strPath.contains(strPrefix, Qt::CaseInsensitive))
            return true;
    }
    for (const char* szScheme : SANDBOX_URL_SCHEMES) {
        if (strPath.contains(QLatin1String(szScheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}
