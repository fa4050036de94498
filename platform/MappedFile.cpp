#include "platform/MappedFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

CMappedFile::~CMappedFile()
{
    Close();
}

bool CMappedFile::Open(const QString& strPath)
{
    Close();
    m_hFile = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_CLOEXEC);
    return m_hFile >= 0;
}

bool CMappedFile::CreateMapping()
{
    struct stat st {};
    if (m_hFile < 0 || ::fstat(m_hFile, &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode) || st.st_size <= 0) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    m_nSize = static_cast<size_t>(st.st_size);
    return true;
}

bool CMappedFile::MapView()
{
    if (m_hFile < 0 || m_nSize == 0)
        return false;
    // Maps are read once from front to back; populating the mapping up front
    // saves one page fault per page.
    void* p = ::mmap(nullptr, m_nSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, m_hFile, 0);
    if (p == MAP_FAILED)
        return false;
    ::madvise(p, m_nSize, MADV_SEQUENTIAL);
    m_pbyData = static_cast<const uint8_t*>(p);
    return true;
}

void CMappedFile::Close()
{
    if (m_pbyData)
        ::munmap(const_cast<uint8_t*>(m_pbyData), m_nSize);
    if (m_hFile >= 0)
        ::close(m_hFile);
    m_pbyData = nullptr;
    m_nSize = 0;
    m_hFile = -1;
}
