#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>

// A whole file written at once (File Save, the KML copy, convert, recover):
// pieces are collected in memory and reach the file in large writes.
//
// A regular file is replaced whole or not at all: the pieces go to a new
// file beside it, which Close flushes to the device and renames over the
// target, then flushes the folder. Until then the target keeps its old
// bytes; a failure or an unfinished file removes the new one. A target that
// is not a regular file (a terminal, a pipe) is written in place.
//
// The new file is listed as a temporary (platform/TemporaryFiles) while it
// is written, and creating one first removes those that processes which no
// longer run left in the folder.
class CBufferedFile
{
public:
    enum class EWrite { Buffered, Written, Failed };

    // What a target may be.
    enum class ETarget
    {
        Chosen,   // a path the user chose: a link is followed, a terminal or pipe written in place
        Own,      // a file the program writes by itself: a regular file or none, never through a link
    };

    ~CBufferedFile();
    CBufferedFile(const CBufferedFile&) = delete;
    CBufferedFile& operator=(const CBufferedFile&) = delete;

    // Starts the file at a host path. Null on failure, and also, touching
    // nothing, when the target is a running log of this or another veltrip
    // process (EBUSY) or, for an own target, a link or not a regular file
    // (EEXIST); errno says why.
    static std::unique_ptr<CBufferedFile> Create(const QString& strHostPath, ETarget eTarget = ETarget::Chosen);

    // Adds a piece; when the buffer is full it goes to the file. Written and
    // Failed tell how that write went; bytes of a failed write are dropped,
    // and the file will not replace the target.
    EWrite Write(std::string_view piece);

    // Writes what is left and puts the file in the target's place; Failed
    // when any write, the flush or the rename failed.
    EWrite Close();

private:
    CBufferedFile(int hFile, int hTarget, QByteArray temporaryPath, QByteArray targetPath, ETarget eTarget);
    EWrite Flush();
    bool Replace();
    bool TargetStillAllowed() const;
    void Discard();
    void ForgetTemporaryPath();

    int m_hFile;
    int m_hTarget;                  // the locked target, or -1
    QByteArray m_temporaryPath;     // empty when writing in place
    QByteArray m_targetPath;
    ETarget m_eTarget;
    int m_nTemporarySlot = -1;      // its entry in the list of temporaries
    bool m_bFailed = false;
    std::string m_buffer;
};
