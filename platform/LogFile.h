#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

// The open GPD log file. Each record goes to the file in one write and is
// flushed to the device before the call returns, so a killed program loses
// no stored record and leaves no half record behind.
class CLogFile
{
public:
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Creates a new file at a host path; fails when the name already exists,
    // so an earlier log is never replaced. Null on failure.
    static std::unique_ptr<CLogFile> CreateNew(const QString& strHostPath);

    // Appends one record and flushes it to the device. On failure the file is
    // cut back to its previous length, so it still ends on a whole record.
    bool WriteRecord(const char* pData, size_t nLength);

    const QString& HostPath() const { return m_strHostPath; }
    int64_t Size() const { return m_nSize; }

private:
    CLogFile(int hFile, QString strHostPath);

    int m_hFile;
    int64_t m_nSize = 0;    // bytes of whole records
    bool m_bTail = false;   // bytes beyond m_nSize may still be on the file
    QString m_strHostPath;
};
