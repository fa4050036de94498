#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

// The open GPD log file. Each record goes to the file in one write and is
// flushed to the device before the call returns, so a killed program loses
// no stored record and leaves no half record behind.
//
// The log is the program's alone for as long as it is open: it holds an
// exclusive advisory lock (flock), which every file this program opens for
// reading or writing respects, also in another veltrip process.
class CLogFile
{
public:
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Creates a new file at a host path and locks it; fails when the name
    // already exists, so an earlier log is never replaced. Null on failure.
    static std::unique_ptr<CLogFile> CreateNew(const QString& strHostPath);

    // Appends one record and flushes it to the device. On failure the file is
    // cut back to its previous length, so it still ends on a whole record.
    bool WriteRecord(const char* pData, size_t nLength);

    const QString& HostPath() const { return m_strHostPath; }
    int64_t Size() const { return m_nSize; }
    // Records written whole, the first (the header) included.
    int64_t Records() const { return m_nRecords; }

private:
    CLogFile(int hFile, QString strHostPath);

    int m_hFile;
    int64_t m_nSize = 0;    // bytes of whole records
    int64_t m_nRecords = 0;
    bool m_bTail = false;   // bytes beyond m_nSize may still be on the file
    QString m_strHostPath;
};

// True when an open file is one of this process's open logs (same device and
// inode, whatever the path it was reached by). The lock alone would not say
// so on file systems that keep advisory locks per process.
bool IsOpenLog(int hFile);

// The same for a path, asked before opening it: on NFS, closing any
// descriptor of a file drops the process's locks on it, so the program must
// not open its running log a second time at all.
bool IsOpenLogPath(const QString& strHostPath);
