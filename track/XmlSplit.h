#pragma once

#include "platform/Outcome.h"
#include "track/CTrackPoint.h"
#include "track/LoadProgress.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CInputFile;

// An open element's start tag: where it is in the reader's input, and its
// length.
struct XmlTag
{
    uint64_t nOffset;
    uint64_t nLength;
};

// A large GPX file read in two halves at once, one on each core. At its
// first track or route point the first half's reader knows the elements
// around the points: the second half's reader then starts on a start tag of
// such a point after the middle of the file, reading first, as its context,
// the file up to the end of the root's start tag (with the declaration and
// any DTD) and the start tags of those elements. The first half's reader
// stops at that start tag when the start tags of the elements around it
// there are the same; otherwise (another context, the place inside a
// comment) the second half's work is dropped and the first half reads on to
// the end. Either way points, segments and outcome are those of one reading
// from start to end.
class CXmlSplit
{
public:
    // Reads the second half into points, counting the points it leaves out:
    // its input comes from ReadSecond, the first nPrefix bytes of it the
    // context.
    using CHalfReader = std::function<COutcome(CXmlSplit& split, uint64_t nPrefix, CTrackPointList& points,
                                               size_t& nSkipped)>;

    CXmlSplit(CInputFile& file, const QString& strPath, CHalfReader readHalf)
        : m_file(file)
        , m_strPath(strPath)
        , m_readHalf(std::move(readHalf))
    {
    }
    ~CXmlSplit() { Abandon(); }
    CXmlSplit(const CXmlSplit&) = delete;
    CXmlSplit& operator=(const CXmlSplit&) = delete;

    // The first point was started at with these elements around it: starts
    // the second half, if the file has a point of that name where it may.
    void Begin(const std::vector<XmlTag>& around, const char* szPointName);
    bool Started() const { return m_thread.joinable(); }
    uint64_t At() const { return m_nAt; }
    // Whether elements open around a start tag at the second half's first
    // byte have the start tags of the second half's context.
    bool SameContext(const std::vector<XmlTag>& around);
    // The second half is not needed: stops it, drops its work.
    void Abandon();
    // The bytes of both halves read, given the first half's: what the
    // progress is told, never more than the file's length.
    uint64_t BothRead(uint64_t nFirstRead);
    // The first half ended where the second began: waits for the second half
    // (reporting progress, which may cancel it) and appends its points; the
    // first of them begins a segment when bNewSegment says so.
    COutcome Join(CTrackPointList& points, size_t& nSkipped, bool bNewSegment, const CLoadProgress& progress);

    // The second half's input: the prefix, then the file from the second
    // half's first byte; an error once the second half is stopped.
    ptrdiff_t ReadSecond(char* pBuffer, size_t nMax);

private:
    bool ReadTags(const std::vector<XmlTag>& tags, std::string& strOut);
    void RunSecond();

    CInputFile& m_file;
    QString m_strPath;
    CHalfReader m_readHalf;
    bool m_bTried = false;
    uint64_t m_nAt = 0;               // where the second half begins
    std::vector<XmlTag> m_around;     // the elements around its points
    std::string m_prefix;             // what the second half reads first
    uint64_t m_nOffset = 0;           // of the second half's input, read so far
    uint64_t m_nFirstRead = 0;        // bytes the first half has read
    std::atomic<bool> m_bStop = false;
    std::atomic<uint64_t> m_nRead = 0;
    std::thread m_thread;
    std::promise<void> m_done;
    // The second half's result.
    CTrackPointList m_points;
    size_t m_nSkipped = 0;
    COutcome m_outcome;
    std::exception_ptr m_error;
};
