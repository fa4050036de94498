#include "platform/LogFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using FileId = std::pair<dev_t, ino_t>;

// Device and inode of every log this process holds open.
std::vector<FileId> g_openLogs;

ELogSync g_logSync = ELogSync::EveryRecord;

bool GetFileId(int hFile, FileId& id)
{
    struct stat st {};
    if (::fstat(hFile, &st) != 0)
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

}

CLogFile::CLogFile(int hFile, QString strHostPath, ELogSync sync)
    : m_hFile(hFile)
    , m_sync(sync)
    , m_strHostPath(std::move(strHostPath))
{
    FileId id;
    if (GetFileId(m_hFile, id))
        g_openLogs.push_back(id);
}

CLogFile::~CLogFile()
{
    Sync();
    FileId id;
    if (GetFileId(m_hFile, id)) {
        const auto it = std::find(g_openLogs.begin(), g_openLogs.end(), id);
        if (it != g_openLogs.end())
            g_openLogs.erase(it);
    }
    ::close(m_hFile);
}

bool IsOpenLog(int hFile)
{
    FileId id;
    return GetFileId(hFile, id) && std::find(g_openLogs.begin(), g_openLogs.end(), id) != g_openLogs.end();
}

bool IsOpenLogPath(const QString& strHostPath)
{
    struct stat st {};
    if (::stat(QFile::encodeName(strHostPath).constData(), &st) != 0)
        return false;
    return std::find(g_openLogs.begin(), g_openLogs.end(), FileId{st.st_dev, st.st_ino}) != g_openLogs.end();
}

void SetLogSync(ELogSync sync)
{
    g_logSync = sync;
}

std::unique_ptr<CLogFile> CLogFile::CreateNew(const QString& strHostPath)
{
    const int hFile = ::open(QFile::encodeName(strHostPath).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (hFile < 0)
        return nullptr;
    // The file is new, so only a reader or writer that got in between the
    // two calls can hold it; then it is not ours to log into, and an empty
    // file must not stay behind as a log.
    if (::flock(hFile, LOCK_EX | LOCK_NB) != 0) {
        ::unlink(QFile::encodeName(strHostPath).constData());
        ::close(hFile);
        errno = EBUSY;
        return nullptr;
    }
    return std::unique_ptr<CLogFile>(new CLogFile(hFile, strHostPath, g_logSync));
}

bool CLogFile::WriteRecord(const char* pData, size_t nLength)
{
    size_t nDone = 0;
    while (nDone < nLength) {
        // One call for the whole record; the loop only continues a write that
        // a signal or a nearly full device cut short.
        const ssize_t n = ::pwrite(m_hFile, pData + nDone, nLength - nDone,
                                   static_cast<off_t>(m_nSize + static_cast<int64_t>(nDone)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nDone += static_cast<size_t>(n);
    }
    const int64_t nNewSize = m_nSize + static_cast<int64_t>(nLength);
    // A tail left by a failed write that could not be cut off is cut now.
    if (nDone == nLength && (!m_bTail || ::ftruncate(m_hFile, static_cast<off_t>(nNewSize)) == 0)) {
        m_nSize = nNewSize;
        ++m_nRecords;
        m_bTail = false;
        return !SyncDue() || Sync();
    }
    m_bTail = ::ftruncate(m_hFile, static_cast<off_t>(m_nSize)) != 0 || ::fdatasync(m_hFile) != 0;
    return false;
}

bool CLogFile::SyncDue() const
{
    return m_sync == ELogSync::EveryRecord || std::chrono::steady_clock::now() - m_lastSync >= std::chrono::seconds(1);
}

bool CLogFile::Sync()
{
    if (m_nSyncedSize == m_nSize)
        return true;
    if (::fdatasync(m_hFile) == 0) {
        m_nSyncedSize = m_nSize;
        m_nSyncedRecords = m_nRecords;
        m_lastSync = std::chrono::steady_clock::now();
        return true;
    }
    // Records that may not have reached the device are no stored records.
    m_nSize = m_nSyncedSize;
    m_nRecords = m_nSyncedRecords;
    m_bTail = ::ftruncate(m_hFile, static_cast<off_t>(m_nSize)) != 0 || ::fdatasync(m_hFile) != 0;
    return false;
}
