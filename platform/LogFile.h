#pragma once

#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

// The open GPD log file. Each record goes to the file in one write, so a
// killed program loses no stored record and leaves no half record behind.
//
// When the records reach the device: the tracker's log flushes each before
// the call returns, as it stores at most one a second. A replay stores them
// as fast as it reads, so its log flushes once a second of the clock and on
// Sync and close: a power cut loses at most the last second's records in
// either case.
enum class ELogSync
{
    EveryRecord,
    EverySecond,
};

// How the logs this process opens from now on flush (EveryRecord unless set).
void SetLogSync(ELogSync sync);

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

    // Appends one record and flushes it to the device when a flush is due.
    // On failure the file is cut back to its last flushed length, so it still
    // ends on a whole record.
    bool WriteRecord(const char* pData, size_t nLength);
    // Flushes the records not yet on the device; on failure they are cut off.
    bool Sync();

    const QString& HostPath() const { return m_strHostPath; }
    int64_t Size() const { return m_nSize; }
    // Records written whole, the first (the header) included.
    int64_t Records() const { return m_nRecords; }

private:
    CLogFile(int hFile, QString strHostPath, ELogSync sync);
    bool SyncDue() const;

    int m_hFile;
    int64_t m_nSize = 0;    // bytes of whole records
    int64_t m_nRecords = 0;
    int64_t m_nSyncedSize = 0;   // of them on the device
    int64_t m_nSyncedRecords = 0;
    ELogSync m_sync;
    std::chrono::steady_clock::time_point m_lastSync;
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
