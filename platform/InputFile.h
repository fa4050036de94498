#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// A regular file opened for reading (tracks, maps). Opening never blocks: a
// FIFO, a device or a directory is refused at once, so a badly chosen name
// can neither hang the program nor feed it without end. A file that a
// running log holds is refused as well, as the handheld refused a file
// opened without sharing.
class CInputFile
{
public:
    enum class EOpen { Ok, Missing, NotAFile, InUse };

    CInputFile() = default;
    ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // Opens a host path; errno holds the reason of a failure.
    EOpen Open(const QString& strHostPath);
    void Close();

    // Length when opened; the file may shrink or grow afterwards.
    uint64_t Size() const { return m_nSize; }

    // Reads up to nLength bytes at nOffset, or from the current position with
    // Read. Returns the count read: short only at the end of the file, -1 on
    // an error.
    ptrdiff_t ReadAt(uint64_t nOffset, void* pBuffer, size_t nLength);
    ptrdiff_t Read(void* pBuffer, size_t nLength);

    // Why the last Open failed, for the command-line tools.
    QString Reason() const;

private:
    EOpen Failed(EOpen result);

    int m_hFile = -1;
    EOpen m_lastOpen = EOpen::Ok;
    int m_nError = 0;
    uint64_t m_nSize = 0;
};
