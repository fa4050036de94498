#pragma once

#include <cstddef>
#include <string>
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

    std::vector<std::pair<std::string, size_t>> m_declared;   // prefix, depth of its element
};
