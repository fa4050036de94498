#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
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
    bool Bound(const char* szName) const;

    // Looks prefixes up as string views, without making a string of each.
    struct CPrefixHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view prefix) const { return std::hash<std::string_view>()(prefix); }
    };

    // A file may declare tens of thousands of prefixes and use them on every
    // element: a name is checked in constant time, by the number of open
    // declarations of its prefix. A prefix stays in the table once declared.
    std::unordered_map<std::string, size_t, CPrefixHash, std::equal_to<>> m_openCount;
    std::vector<std::pair<size_t*, size_t>> m_declared;   // its open count, depth of its element
};
