#include "platform/BufferedFile.h"

#include "platform/LogFile.h"
#include "platform/TemporaryFiles.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr size_t BUFFERED_FILE_CHUNK = 256 * 1024;

// Closes a descriptor without changing errno.
void CloseKeepingErrno(int hFile)
{
    const int nError = errno;
    ::close(hFile);
    errno = nError;
}

// Flushes the folder that holds a path, so that a rename in it is on disk.
bool SyncFolder(const QByteArray& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(path)).path());
    const int hFolder = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (hFolder < 0)
        return false;
    const bool bSynced = ::fsync(hFolder) == 0;
    CloseKeepingErrno(hFolder);
    return bSynced;
}

}

CBufferedFile::CBufferedFile(int hFile, int hTarget, QByteArray temporaryPath, QByteArray targetPath,
                             ETarget eTarget)
    : m_hFile(hFile)
    , m_hTarget(hTarget)
    , m_temporaryPath(std::move(temporaryPath))
    , m_targetPath(std::move(targetPath))
    , m_eTarget(eTarget)
{
    if (!m_temporaryPath.isEmpty())
        m_nTemporarySlot = ListTemporary(m_temporaryPath);
    m_buffer.reserve(BUFFERED_FILE_CHUNK);
}

CBufferedFile::~CBufferedFile()
{
    Discard();
}

std::unique_ptr<CBufferedFile> CBufferedFile::Create(const QString& strHostPath, ETarget eTarget)
{
    const bool bOwn = eTarget == ETarget::Own;
    // A chosen link is followed, as writing through it would: the file it
    // names is replaced, not the link. An own target is never a link.
    const QString strCanonical = QFileInfo(strHostPath).canonicalFilePath();
    const QByteArray targetPath = QFile::encodeName(strCanonical.isEmpty() || bOwn ? strHostPath : strCanonical);
    if (IsOpenLogPath(strCanonical)) {
        errno = EBUSY;
        return nullptr;
    }
    // The target is opened without being changed: first the lock must show
    // that no log holds it. The lock is kept while writing, so two saves
    // cannot interleave either.
    const int hTarget = ::open(targetPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | (bOwn ? O_NOFOLLOW : 0));
    if (hTarget < 0 && bOwn && errno == ELOOP)
        errno = EEXIST;
    if (hTarget < 0 && errno != ENOENT)
        return nullptr;
    struct stat st {};
    if (hTarget >= 0) {
        if (::fstat(hTarget, &st) != 0) {
            CloseKeepingErrno(hTarget);
            return nullptr;
        }
        if (IsOpenLog(hTarget) || ::flock(hTarget, LOCK_EX | LOCK_NB) != 0) {
            ::close(hTarget);
            errno = EBUSY;
            return nullptr;
        }
        if (!S_ISREG(st.st_mode) && bOwn) {
            ::close(hTarget);
            errno = EEXIST;
            return nullptr;
        }
        if (!S_ISREG(st.st_mode)) {
            ::fcntl(hTarget, F_SETFL, ::fcntl(hTarget, F_GETFL) & ~O_NONBLOCK);
            return std::unique_ptr<CBufferedFile>(new CBufferedFile(hTarget, -1, {}, targetPath, eTarget));
        }
    }
    const CStopSignalsHeld held;
    QByteArray temporaryPath;
    const int hFile = CreateTemporaryBeside(targetPath, temporaryPath);
    if (hFile < 0) {
        if (hTarget >= 0)
            CloseKeepingErrno(hTarget);
        return nullptr;
    }
    // A replaced file keeps its permissions.
    if (hTarget >= 0)
        ::fchmod(hFile, st.st_mode & 07777);
    return std::unique_ptr<CBufferedFile>(new CBufferedFile(hFile, hTarget, temporaryPath, targetPath, eTarget));
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
    m_bFailed = m_bFailed || !bWritten;
    return bWritten ? EWrite::Written : EWrite::Failed;
}

CBufferedFile::EWrite CBufferedFile::Close()
{
    const bool bWritten = Flush() == EWrite::Written && !m_bFailed;
    if (!bWritten || !Replace()) {
        Discard();
        return EWrite::Failed;
    }
    return EWrite::Written;
}

// Flushes the new file, renames it over the target and flushes the folder;
// errno says what failed.
bool CBufferedFile::Replace()
{
    if (m_temporaryPath.isEmpty()) {
        const int hFile = std::exchange(m_hFile, -1);
        return ::close(hFile) == 0;
    }
    if (::fsync(m_hFile) != 0 || ::close(std::exchange(m_hFile, -1)) != 0)
        return false;
    if (!TargetStillAllowed() || ::rename(m_temporaryPath.constData(), m_targetPath.constData()) != 0)
        return false;
    ForgetTemporaryPath();
    const bool bSynced = SyncFolder(m_targetPath);
    if (m_hTarget >= 0)
        CloseKeepingErrno(std::exchange(m_hTarget, -1));
    return bSynced;
}

// An own target may have become a link or something else while the file
// was written: it is left alone then (EEXIST).
bool CBufferedFile::TargetStillAllowed() const
{
    struct stat st {};
    if (m_eTarget != ETarget::Own || ::lstat(m_targetPath.constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    errno = EEXIST;
    return false;
}

void CBufferedFile::ForgetTemporaryPath()
{
    m_temporaryPath.clear();
    ForgetTemporary(std::exchange(m_nTemporarySlot, -1));
}

// Closes what is open and removes a new file that did not take the target's
// place; errno is kept for the caller's message.
void CBufferedFile::Discard()
{
    if (m_hFile >= 0)
        CloseKeepingErrno(std::exchange(m_hFile, -1));
    if (!m_temporaryPath.isEmpty()) {
        const int nError = errno;
        ::unlink(m_temporaryPath.constData());
        errno = nError;
        ForgetTemporaryPath();
    }
    if (m_hTarget >= 0)
        CloseKeepingErrno(std::exchange(m_hTarget, -1));
}
