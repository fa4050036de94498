#include "track/XmlPrefixes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view XML_NS_ATTRIBUTE = "xmlns";
constexpr std::string_view XML_NS_DECLARATION = "xmlns:";
constexpr std::string_view XML_RESERVED_PREFIX = "xml";   // always bound

constexpr size_t XML_FIRST_SLOTS = 16;   // a power of two

// FNV-1a, as prefixes are a few letters, then mixed (MurmurHash3's
// finaliser) so that prefixes that differ in their last letters ("p1",
// "p2", ...) spread over the table's slots.
uint32_t PrefixHash(std::string_view prefix)
{
    uint32_t nHash = 2166136261u;
    for (const char ch : prefix)
        nHash = (nHash ^ uint8_t(ch)) * 16777619u;
    nHash ^= nHash >> 16;
    nHash *= 0x85ebca6bu;
    nHash ^= nHash >> 13;
    nHash *= 0xc2b2ae35u;
    return nHash ^ (nHash >> 16);
}

// The name's first colon, or its end. Names are short and every element's
// and attribute's is looked at: a loop in place, not a library call.
const char* ColonOrEnd(const char* szName)
{
    while (*szName && *szName != ':')
        ++szName;
    return szName;
}

// "xmlns:P", which declares the prefix P.
bool IsDeclaration(const char* szAttribute)
{
    return szAttribute[0] == 'x' && !std::strncmp(szAttribute, XML_NS_DECLARATION.data(), XML_NS_DECLARATION.size());
}

}

// Called for every element: most names have no prefix, and one look for a
// colon settles them.
bool CXmlPrefixes::Start(const char* szName, const char** pAttributes, size_t nDepth)
{
    for (const char** p = pAttributes; *p; p += 2) {
        if (!IsDeclaration(p[0]))
            continue;
        const std::string_view prefix = p[0] + XML_NS_DECLARATION.size();
        // A prefix cannot be undeclared, nor xmlns declared.
        if (!*p[1] || prefix == XML_NS_ATTRIBUTE)
            return false;
        // An empty prefix is never looked up: a name with one is refused.
        if (prefix.empty())
            continue;
        const uint32_t nPrefix = Add(prefix);
        ++m_slots[m_prefixes[nPrefix].nSlot].nOpen;
        m_declared.emplace_back(nPrefix, nDepth);
    }
    if (!Bound(szName))
        return false;
    for (const char** p = pAttributes; *p; p += 2) {
        if (!IsDeclaration(p[0]) && !Bound(p[0]))
            return false;
    }
    return true;
}

void CXmlPrefixes::End(size_t nDepth)
{
    while (!m_declared.empty() && m_declared.back().second >= nDepth) {
        --m_slots[m_prefixes[m_declared.back().first].nSlot].nOpen;
        m_declared.pop_back();
    }
}

const char* CXmlPrefixes::Local(const char* szName)
{
    const char* pColon = ColonOrEnd(szName);
    return *pColon ? pColon + 1 : szName;
}

bool CXmlPrefixes::Bound(const char* szName) const
{
    const char* pColon = ColonOrEnd(szName);
    if (!*pColon)
        return true;
    // One colon, with a prefix and a local part around it.
    const char* pEnd = ColonOrEnd(pColon + 1);
    if (pColon == szName || pEnd == pColon + 1 || *pEnd)
        return false;
    const std::string_view prefix(szName, size_t(pColon - szName));
    if (prefix == XML_RESERVED_PREFIX)
        return true;
    const CSlot* pSlot = Find(prefix);
    return pSlot && pSlot->nOpen > 0;
}

bool CXmlPrefixes::SlotHolds(const CSlot& slot, std::string_view prefix, uint32_t nHash) const
{
    if (slot.nHash != nHash || slot.nLength != prefix.size())
        return false;
    const char* pText = prefix.size() <= sizeof slot.szShort ? slot.szShort
                                                              : m_strLong.data() + m_prefixes[slot.nPrefix].nLongAt;
    return std::equal(prefix.begin(), prefix.end(), pText);
}

// The slot holding the prefix, or the empty one where it would go.
size_t CXmlPrefixes::FindSlot(std::string_view prefix, uint32_t nHash) const
{
    const size_t nMask = m_slots.size() - 1;
    size_t i = nHash & nMask;
    while (m_slots[i].nLength != 0 && !SlotHolds(m_slots[i], prefix, nHash))
        i = (i + 1) & nMask;
    return i;
}

const CXmlPrefixes::CSlot* CXmlPrefixes::Find(std::string_view prefix) const
{
    if (m_slots.empty())
        return nullptr;
    const CSlot& slot = m_slots[FindSlot(prefix, PrefixHash(prefix))];
    return slot.nLength != 0 ? &slot : nullptr;
}

uint32_t CXmlPrefixes::Add(std::string_view prefix)
{
    // At most half the slots are taken, so that a search ends soon.
    if (2 * (m_prefixes.size() + 1) > m_slots.size())
        Grow();
    const uint32_t nHash = PrefixHash(prefix);
    const size_t i = FindSlot(prefix, nHash);
    CSlot& slot = m_slots[i];
    if (slot.nLength != 0)
        return slot.nPrefix;
    slot.nHash = nHash;
    slot.nLength = uint32_t(prefix.size());
    slot.nPrefix = uint32_t(m_prefixes.size());
    m_prefixes.push_back(CPrefix{m_strLong.size(), i});
    if (prefix.size() <= sizeof slot.szShort)
        std::copy(prefix.begin(), prefix.end(), slot.szShort);
    else
        m_strLong.append(prefix);
    return slot.nPrefix;
}

void CXmlPrefixes::Grow()
{
    std::vector<CSlot> old = std::exchange(m_slots, std::vector<CSlot>(std::max(XML_FIRST_SLOTS, 2 * m_slots.size())));
    const size_t nMask = m_slots.size() - 1;
    for (const CSlot& slot : old) {
        if (slot.nLength == 0)
            continue;
        size_t i = slot.nHash & nMask;
        while (m_slots[i].nLength != 0)
            i = (i + 1) & nMask;
        m_slots[i] = slot;
        m_prefixes[slot.nPrefix].nSlot = i;
    }
}
