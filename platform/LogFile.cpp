#include "platform/LogFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

CLogFile::CLogFile(int hFile, QString strHostPath)
    : m_hFile(hFile)
    , m_strHostPath(std::move(strHostPath))
{
}

CLogFile::~CLogFile()
{
    ::close(m_hFile);
}

std::unique_ptr<CLogFile> CLogFile::CreateNew(const QString& strHostPath)
{
    const int hFile = ::open(QFile::encodeName(strHostPath).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (hFile < 0)
        return nullptr;
    return std::unique_ptr<CLogFile>(new CLogFile(hFile, strHostPath));
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
    if (nDone == nLength && (!m_bTail || ::ftruncate(m_hFile, static_cast<off_t>(nNewSize)) == 0)
        && ::fdatasync(m_hFile) == 0) {
        m_nSize = nNewSize;
        m_bTail = false;
        return true;
    }
    m_bTail = ::ftruncate(m_hFile, static_cast<off_t>(m_nSize)) != 0 || ::fdatasync(m_hFile) != 0;
    return false;
}
