#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// A whole file mapped read-only into memory. Opening goes in the three steps
// that can fail separately (open, size the mapping, map the view), so callers
// can say which one failed; errno then holds the reason.
class CMappedFile
{
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Opens an existing file for reading.
    bool Open(const QString& strPath);
    // Takes the length of the open file; an empty file cannot be mapped.
    bool CreateMapping();
    // Maps the whole file read-only; Data() and Size() are valid afterwards.
    bool MapView();
    // Unmaps and closes; also done by the destructor.
    void Close();

    const uint8_t* Data() const { return m_pbyData; }
    size_t Size() const { return m_nSize; }

private:
    int m_hFile = -1;
    size_t m_nSize = 0;
    const uint8_t* m_pbyData = nullptr;
};
