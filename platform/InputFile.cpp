#include "platform/InputFile.h"

#include "platform/LogFile.h"
#include "platform/TextFormat.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CInputFile::~CInputFile()
{
    Close();
}

CInputFile::EOpen CInputFile::Failed(EOpen result)
{
    m_lastOpen = result;
    m_nError = errno;
    return result;
}

CInputFile::EOpen CInputFile::Open(const QString& strHostPath)
{
    Close();
    if (IsOpenLogPath(strHostPath)) {
        errno = EBUSY;
        return Failed(EOpen::InUse);
    }
    const int hFile = ::open(QFile::encodeName(strHostPath).constData(),
                             O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (hFile < 0)
        return Failed(EOpen::Missing);
    struct stat st {};
    EOpen result = EOpen::Ok;
    if (::fstat(hFile, &st) != 0) {
        result = EOpen::Missing;
    } else if (!S_ISREG(st.st_mode)) {
        result = EOpen::NotAFile;
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else if (IsOpenLog(hFile) || ::flock(hFile, LOCK_SH | LOCK_NB) != 0) {
        result = EOpen::InUse;
        errno = EBUSY;
    }
    if (result != EOpen::Ok) {
        const int nError = errno;
        ::close(hFile);
        errno = nError;
        return Failed(result);
    }
    m_hFile = hFile;
    m_nSize = uint64_t(st.st_size);
    m_lastOpen = EOpen::Ok;
    return EOpen::Ok;
}

void CInputFile::Close()
{
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_hFile = -1;
    m_nSize = 0;
}

namespace {

// Reads until nLength bytes or the end of the file, going on after a signal;
// fnRead(pTo, nWanted, nDone) reads once, nDone bytes into the request.
template <typename FnRead>
ptrdiff_t ReadFully(void* pBuffer, size_t nLength, FnRead fnRead)
{
    size_t nDone = 0;
    while (nDone < nLength) {
        const ssize_t n = fnRead(static_cast<char*>(pBuffer) + nDone, nLength - nDone, nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        nDone += size_t(n);
    }
    return ptrdiff_t(nDone);
}

}

ptrdiff_t CInputFile::ReadAt(uint64_t nOffset, void* pBuffer, size_t nLength)
{
    return ReadFully(pBuffer, nLength, [&](char* pTo, size_t nWanted, size_t nDone) {
        return ::pread(m_hFile, pTo, nWanted, off_t(nOffset + nDone));
    });
}

ptrdiff_t CInputFile::Read(void* pBuffer, size_t nLength)
{
    return ReadFully(pBuffer, nLength, [&](char* pTo, size_t nWanted, size_t) {
        return ::read(m_hFile, pTo, nWanted);
    });
}

QString CInputFile::Reason() const
{
    switch (m_lastOpen) {
    case EOpen::Ok:
        break;
    case EOpen::Missing:
        return SystemErrorText(m_nError);
    case EOpen::NotAFile:
        return QStringLiteral("not a regular file");
    case EOpen::InUse:
        return QStringLiteral("in use as a running log");
    }
    return QString();
}
