#pragma once

#include "platform/Outcome.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

// Bytes of a 24-bit bottom-up BMP file of the given size.
int64_t BmpFileSize(int nWidth, int nHeight);

// A 24-bit BMP file written as its rows arrive from the bottom upwards,
// under a temporary name of its own (".NAME.PID-N", created exclusively,
// never through a link, removed by a stop signal); CommitSheets gives it its
// real name, so a reader never sees a part of it. Removed again unless
// committed.
class CBmpSheetFile
{
public:
    CBmpSheetFile() = default;
    ~CBmpSheetFile();
    CBmpSheetFile(const CBmpSheetFile&) = delete;
    CBmpSheetFile& operator=(const CBmpSheetFile&) = delete;

    COutcome Create(const QString& strPath, int nWidth, int nHeight);

    // The next nRows rows upwards, given top row first, each nStride bytes
    // (the file's own row size).
    COutcome AppendRowsUpward(const uint8_t* pbyRows, int nRows, int nStride);

    // Flushes and closes the file under its temporary name.
    COutcome Finish();

    // Removes the temporary: the sheet is not to be written.
    void Discard();

    const QString& Path() const { return m_strPath; }

private:
    friend COutcome CommitSheets(const std::vector<CBmpSheetFile*>& files);
    COutcome WriteFailure();
    // Renames the finished file to its real name; an old file of that name
    // is first moved to the hidden name aside, empty when there was none.
    COutcome MoveIn(QByteArray& aside);

    QString m_strPath;
    QByteArray m_temporaryPath;   // empty once committed or discarded
    int m_nTemporarySlot = -1;
    QFile m_file;
};

// Gives every finished file its real name, or none: old files of the same
// names are moved aside first and back again when a rename fails, so a
// failure leaves the folder as it was.
COutcome CommitSheets(const std::vector<CBmpSheetFile*>& files);
