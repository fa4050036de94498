#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

// A whole file written at once (File Save, the KML copy): pieces are
// collected in memory and reach the file in large writes.
class CBufferedFile
{
public:
    enum class EWrite { Buffered, Written, Failed };

    ~CBufferedFile();
    CBufferedFile(const CBufferedFile&) = delete;
    CBufferedFile& operator=(const CBufferedFile&) = delete;

    // Creates the file at a host path, replacing an existing one. Null on
    // failure, and also, touching nothing, when the file is a running log of
    // this or another veltrip process.
    static std::unique_ptr<CBufferedFile> Create(const QString& strHostPath);

    // Adds a piece; when the buffer is full it goes to the file. Written and
    // Failed tell how that write went; bytes of a failed write are dropped.
    EWrite Write(std::string_view piece);

    // Writes what is left and closes the file.
    EWrite Close();

private:
    explicit CBufferedFile(int hFile);
    EWrite Flush();

    int m_hFile;
    std::string m_buffer;
};
