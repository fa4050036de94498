#include "platform/BufferedFile.h"

#include "platform/LogFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t BUFFERED_FILE_CHUNK = 256 * 1024;

}

CBufferedFile::CBufferedFile(int hFile)
    : m_hFile(hFile)
{
    m_buffer.reserve(BUFFERED_FILE_CHUNK);
}

CBufferedFile::~CBufferedFile()
{
    if (m_hFile >= 0)
        ::close(m_hFile);
}

std::unique_ptr<CBufferedFile> CBufferedFile::Create(const QString& strHostPath)
{
    // Not truncated on open: first the lock must show that no log holds it.
    // The lock is kept while writing, so two saves cannot interleave either.
    const int hFile = ::open(QFile::encodeName(strHostPath).constData(),
                             O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (hFile < 0)
        return nullptr;
    struct stat st {};
    bool bUsable = ::fstat(hFile, &st) == 0;
    if (bUsable && (IsOpenLog(hFile) || ::flock(hFile, LOCK_EX | LOCK_NB) != 0)) {
        errno = EBUSY;
        bUsable = false;
    }
    if (bUsable && S_ISREG(st.st_mode) && ::ftruncate(hFile, 0) != 0)
        bUsable = false;
    if (!bUsable) {
        const int nError = errno;
        ::close(hFile);
        errno = nError;
        return nullptr;
    }
    ::fcntl(hFile, F_SETFL, ::fcntl(hFile, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<CBufferedFile>(new CBufferedFile(hFile));
}

CBufferedFile::EWrite CBufferedFile::Write(std::string_view piece)
{
    m_buffer.append(piece);
    return m_buffer.size() >= BUFFERED_FILE_CHUNK ? Flush() : EWrite::Buffered;
}

CBufferedFile::EWrite CBufferedFile::Flush()
{
    size_t nDone = 0;
    while (nDone < m_buffer.size()) {
        const ssize_t n = ::write(m_hFile, m_buffer.data() + nDone, m_buffer.size() - nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nDone += static_cast<size_t>(n);
    }
    const bool bWritten = nDone == m_buffer.size();
    m_buffer.clear();
    return bWritten ? EWrite::Written : EWrite::Failed;
}

CBufferedFile::EWrite CBufferedFile::Close()
{
    EWrite result = Flush();
    if (::close(m_hFile) != 0)
        result = EWrite::Failed;
    m_hFile = -1;
    return result;
}
