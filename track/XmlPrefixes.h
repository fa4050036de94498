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
        // Open declarations, here so that a look-up of a declared prefix
        // reads this one place of memory however large the table is.
        uint32_t nOpen = 0;
        char szShort[16] = {};    // a prefix of up to 16 bytes, else in m_strLong
    };
    struct CPrefix
    {
        size_t nLongAt;   // where a long prefix is in m_strLong
        size_t nSlot;     // its slot in m_slots
    };

    bool Bound(const char* szName) const;
    // The slot of a prefix seen before, or none; Add makes one for a prefix
    // not seen yet and gives its index in m_prefixes.
    const CSlot* Find(std::string_view prefix) const;
    uint32_t Add(std::string_view prefix);
    size_t FindSlot(std::string_view prefix, uint32_t nHash) const;
    bool SlotHolds(const CSlot& slot, std::string_view prefix, uint32_t nHash) const;
    void Grow();

    std::vector<CSlot> m_slots;
    std::vector<CPrefix> m_prefixes;
    std::string m_strLong;
    std::vector<std::pair<uint32_t, size_t>> m_declared;   // its prefix, depth of its element
};
