#include "track/XmlPrefixes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view XML_NS_ATTRIBUTE = "xmlns";
constexpr std::string_view XML_NS_DECLARATION = "xmlns:";
constexpr std::string_view XML_RESERVED_PREFIX = "xml";   // always bound

}

bool CXmlPrefixes::Start(const char* szName, const char** pAttributes, size_t nDepth)
{
    for (const char** p = pAttributes; *p; p += 2) {
        const std::string_view name(p[0]);
        if (!name.starts_with(XML_NS_DECLARATION))
            continue;
        const std::string_view prefix = name.substr(XML_NS_DECLARATION.size());
        // A prefix cannot be undeclared, nor xmlns declared.
        if (!*p[1] || prefix == XML_NS_ATTRIBUTE)
            return false;
        m_declared.emplace_back(prefix, nDepth);
    }
    if (!Bound(szName))
        return false;
    for (const char** p = pAttributes; *p; p += 2) {
        const std::string_view name(p[0]);
        if (name != XML_NS_ATTRIBUTE && !name.starts_with(XML_NS_DECLARATION) && !Bound(name))
            return false;
    }
    return true;
}

void CXmlPrefixes::End(size_t nDepth)
{
    while (!m_declared.empty() && m_declared.back().second >= nDepth)
        m_declared.pop_back();
}

std::string_view CXmlPrefixes::Local(const char* szName)
{
    const char* pColon = std::strchr(szName, ':');
    return pColon ? pColon + 1 : szName;
}

bool CXmlPrefixes::Bound(std::string_view name) const
{
    const size_t nColon = name.find(':');
    if (nColon == std::string_view::npos)
        return true;
    // One colon, with a prefix and a local part around it.
    if (nColon == 0 || nColon + 1 == name.size() || name.find(':', nColon + 1) != std::string_view::npos)
        return false;
    const std::string_view prefix = name.substr(0, nColon);
    return prefix == XML_RESERVED_PREFIX
           || std::any_of(m_declared.begin(), m_declared.end(),
                          [prefix](const auto& declared) { return declared.first == prefix; });
}
