#include "track/XmlSplit.h"

#include "platform/InputFile.h"
#include "track/TrackInput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>
#include <system_error>
#include <utility>

namespace {

// The second half of a split reading starts on a point within this many
// bytes after the middle; its prefix (the file's start up to the root's
// start tag and the start tags around the points) is at most this long.
constexpr size_t XML_SPLIT_SEARCH = 1 << 20;
constexpr size_t XML_SPLIT_MAX_PREFIX = 4 << 20;
// How often the first half's reader, waiting for the second, reports the
// progress and may be cancelled.
constexpr std::chrono::milliseconds XML_SPLIT_POLL{100};

}

uint64_t CXmlSplit::BothRead(uint64_t nFirstRead)
{
    m_nFirstRead = nFirstRead;
    return std::min(m_file.Size(), nFirstRead + m_nRead.load(std::memory_order_relaxed));
}

void CXmlSplit::Begin(const std::vector<XmlTag>& around, const char* szPointName)
{
    if (std::exchange(m_bTried, true) || around.empty())
        return;
    const uint64_t nMiddle = m_file.Size() / 2;
    if (around.back().nOffset + around.back().nLength >= nMiddle)
        return;
    // "<trkpt" followed by what may end a name.
    const std::string tag = std::string("<") + szPointName;
    std::string window(XML_SPLIT_SEARCH, '\0');
    const ptrdiff_t nWindow = m_file.ReadAt(nMiddle, window.data(), window.size());
    if (nWindow <= 0)
        return;
    window.resize(size_t(nWindow));
    size_t nFound = 0;
    for (size_t nFrom = 0;; nFrom = nFound + 1) {
        nFound = window.find(tag, nFrom);
        if (nFound == std::string::npos || nFound + tag.size() >= window.size())
            return;
        if (std::string_view(" \t\r\n/>").find(window[nFound + tag.size()]) != std::string_view::npos)
            break;
    }
    // The file up to the end of the root's start tag, then the start tags
    // of the other elements around.
    const XmlTag& root = around.front();
    if (root.nOffset + root.nLength > XML_SPLIT_MAX_PREFIX)
        return;
    std::vector<XmlTag> context = around;
    context.front() = {0, root.nOffset + root.nLength};
    if (!ReadTags(context, m_prefix) || m_prefix.size() > XML_SPLIT_MAX_PREFIX)
        return;
    m_nAt = nMiddle + nFound;
    m_around = around;
    try {
        m_thread = std::thread([this] { RunSecond(); });
    } catch (const std::system_error&) {
        // No thread: one reading does it all.
    }
}

bool CXmlSplit::ReadTags(const std::vector<XmlTag>& tags, std::string& strOut)
{
    strOut.clear();
    for (const XmlTag& tag : tags) {
        const size_t nOld = strOut.size();
        strOut.resize(nOld + tag.nLength);
        if (m_file.ReadAt(tag.nOffset, strOut.data() + nOld, tag.nLength) != ptrdiff_t(tag.nLength))
            return false;
    }
    return true;
}

bool CXmlSplit::SameContext(const std::vector<XmlTag>& around)
{
    if (around.size() != m_around.size())
        return false;
    for (size_t i = 0; i < around.size(); ++i) {
        if (around[i].nOffset == m_around[i].nOffset && around[i].nLength == m_around[i].nLength)
            continue;
        std::string here;
        std::string there;
        if (around[i].nLength != m_around[i].nLength || !ReadTags({around[i]}, here)
            || !ReadTags({m_around[i]}, there) || here != there)
            return false;
    }
    return true;
}

ptrdiff_t CXmlSplit::ReadSecond(char* pBuffer, size_t nMax)
{
    if (m_bStop.load(std::memory_order_relaxed)) {
        errno = ECANCELED;
        return -1;
    }
    if (m_nOffset < m_prefix.size()) {
        const size_t nCopy = std::min(nMax, size_t(m_prefix.size() - m_nOffset));
        std::memcpy(pBuffer, m_prefix.data() + m_nOffset, nCopy);
        m_nOffset += nCopy;
        return ptrdiff_t(nCopy);
    }
    const ptrdiff_t nRead = m_file.ReadAt(m_nAt + (m_nOffset - m_prefix.size()), pBuffer, nMax);
    if (nRead > 0) {
        m_nOffset += uint64_t(nRead);
        m_nRead.fetch_add(uint64_t(nRead), std::memory_order_relaxed);
    }
    return nRead;
}

void CXmlSplit::RunSecond()
{
    try {
        m_outcome = m_readHalf(*this, m_prefix.size(), m_points, m_nSkipped);
    } catch (...) {
        m_error = std::current_exception();
    }
    m_done.set_value();
}

void CXmlSplit::Abandon()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_points.clear();
    m_nRead = 0;
}

COutcome CXmlSplit::Join(CTrackPointList& points, size_t& nSkipped, bool bNewSegment, const CLoadProgress& progress)
{
    const std::future<void> done = m_done.get_future();
    while (done.wait_for(XML_SPLIT_POLL) != std::future_status::ready) {
        if (progress && !progress(BothRead(m_nFirstRead), m_file.Size())) {
            Abandon();
            return TrackReadFailure(EOutcome::Cancelled, m_strPath);
        }
    }
    m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
    if (!m_outcome)
        return m_outcome;
    if (!m_points.empty())
        m_points.front().m_bSegmentStart = m_points.front().m_bSegmentStart || bNewSegment;
    // Point by point, so that the two lists together hold no more than one.
    while (!m_points.empty()) {
        points.push_back(std::move(m_points.front()));
        m_points.pop_front();
    }
    nSkipped += m_nSkipped;
    return m_outcome;
}
