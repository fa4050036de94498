#pragma once

#include "platform/Outcome.h"

#include <QFile>
#include <QString>
#include <cstdint>

// Bytes of a 24-bit bottom-up BMP file of the given size.
int64_t BmpFileSize(int nWidth, int nHeight);

// A 24-bit BMP file written as its rows arrive from the bottom upwards, under
// a temporary name; Commit renames it into place, so a reader never sees a
// part of it. Removed again unless committed.
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

    // Gives the file its real name.
    COutcome Commit();

private:
    COutcome WriteFailure();

    QString m_strPath;
    QFile m_file;
    bool m_bCommitted = false;
};
