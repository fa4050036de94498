#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The namespace prefixes declared on the open elements of a document that
// expat reads without its namespace processing, which would copy the
// namespace's name into every element's: a prefixed element or attribute
// name must use a prefix declared on it or an element around it.
class CXmlPrefixes
{
public:
    // An element starts at nDepth: takes its declarations; false when its
    // name or an attribute's uses a prefix that is not declared.
    bool Start(const char* szName, const char** pAttributes, size_t nDepth);
    // The element at nDepth ends: its declarations end with it.
    void End(size_t nDepth);

    // A name without its prefix.
    static const char* Local(const char* szName);

private:
    // A file may declare tens of thousands of prefixes and use them on every
    // element: a name is checked in constant time, by the number of open
    // declarations of its prefix. The table is open addressing over slots
    // that hold a short prefix themselves, so that a look-up reads one place
    // of memory, not a chain of nodes. A prefix stays once declared.
    struct CSlot
    {
        uint32_t nHash = 0;
        uint32_t nLength = 0;     // 0: an empty slot
        uint32_t nPrefix = 0;     // index in m_prefixes
        char szShort[20] = {};    // a prefix of up to 20 bytes, else in m_strLong
    };
    struct CPrefix
    {
        size_t nLongAt;   // where a long prefix is in m_strLong
        size_t nOpen;     // open declarations
    };

    bool Bound(const char* szName) const;
    // A prefix seen before, or none; Add makes one for a prefix not seen yet.
    const CPrefix* Find(std::string_view prefix) const;
    CPrefix& Add(std::string_view prefix);
    size_t FindSlot(std::string_view prefix, uint32_t nHash) const;
    bool SlotHolds(const CSlot& slot, std::string_view prefix, uint32_t nHash) const;
    void Grow();

    std::vector<CSlot> m_slots;
    std::vector<CPrefix> m_prefixes;
    std::string m_strLong;
    std::vector<std::pair<uint32_t, size_t>> m_declared;   // its prefix, depth of its element
};
