#include "track/XmlPrefixes.h"

#include <cstring>

namespace {

constexpr std::string_view XML_NS_ATTRIBUTE = "xmlns";
constexpr std::string_view XML_NS_DECLARATION = "xmlns:";
constexpr std::string_view XML_RESERVED_PREFIX = "xml";   // always bound

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
        size_t& nOpen = m_openCount.try_emplace(std::string(prefix), 0).first->second;
        ++nOpen;
        m_declared.emplace_back(&nOpen, nDepth);
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
        --*m_declared.back().first;
        m_declared.pop_back();
    }
}

const char* CXmlPrefixes::Local(const char* szName)
{
    const char* pColon = std::strchr(szName, ':');
    return pColon ? pColon + 1 : szName;
}

bool CXmlPrefixes::Bound(const char* szName) const
{
    const char* pColon = std::strchr(szName, ':');
    if (!pColon)
        return true;
    const std::string_view name(szName);
    const size_t nColon = size_t(pColon - szName);
    // One colon, with a prefix and a local part around it.
    if (nColon == 0 || nColon + 1 == name.size() || name.find(':', nColon + 1) != std::string_view::npos)
        return false;
    const std::string_view prefix = name.substr(0, nColon);
    if (prefix == XML_RESERVED_PREFIX)
        return true;
    const auto it = m_openCount.find(prefix);
    return it != m_openCount.end() && it->second > 0;
}
