#include "platform/PortName.h"

namespace {

struct PortScheme
{
    std::string_view prefix;
    NetworkPortKind nKind;
};

const PortScheme PORT_SCHEMES[] = {
    {"tcp://", NetworkPortKind::Tcp},
    {"gpsd://", NetworkPortKind::Gpsd},
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char ch = text[i];
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
        if (ch != prefix[i])
            return false;
    }
    return true;
}

const PortScheme* FindScheme(std::string_view name)
{
    for (const PortScheme& scheme : PORT_SCHEMES) {
        if (StartsWithNoCase(name, scheme.prefix))
            return &scheme;
    }
    return nullptr;
}

// 1 to 65535, digits only.
std::optional<uint16_t> ParsePortNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned nValue = 0;
    for (const char ch : text) {
        if (ch < '0' || ch > '9')
            return std::nullopt;
        nValue = nValue * 10 + unsigned(ch - '0');
    }
    if (nValue == 0 || nValue > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(nValue);
}

// Host names and address literals only: no blanks, controls, paths or
// further URL parts.
bool IsHostText(std::string_view host, bool bBracketed)
{
    for (const char ch : host) {
        const bool bPlain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')
                            || ch == '.' || ch == '-' || ch == '_';
        if (!bPlain && !(bBracketed && (ch == ':' || ch == '%')))
            return false;
    }
    return true;
}

}

bool IsNetworkPortName(std::string_view name)
{
    return FindScheme(name) != nullptr;
}

bool IsNetworkPortName(const QString& strName)
{
    return IsNetworkPortName(std::string_view(strName.toStdString()));
}

std::optional<NetworkPort> ParseNetworkPort(std::string_view name)
{
    const PortScheme* pScheme = FindScheme(name);
    if (!pScheme)
        return std::nullopt;
    std::string_view rest = name.substr(pScheme->prefix.size());
    std::string_view host;
    std::string_view port;
    bool bBracketed = false;
    if (!rest.empty() && rest.front() == '[') {
        const size_t nClose = rest.find(']');
        if (nClose == std::string_view::npos)
            return std::nullopt;
        host = rest.substr(1, nClose - 1);
        rest.remove_prefix(nClose + 1);
        if (host.empty() || (!rest.empty() && rest.front() != ':'))
            return std::nullopt;
        bBracketed = true;
    } else {
        host = rest.substr(0, rest.find(':'));
        rest.remove_prefix(host.size());
    }
    const bool bHasPort = !rest.empty();
    if (bHasPort) {
        port = rest.substr(1);
        if (!ParsePortNumber(port))
            return std::nullopt;
    }
    if (!IsHostText(host, bBracketed))
        return std::nullopt;

    NetworkPort result{pScheme->nKind, std::string(host), 0};
    if (pScheme->nKind == NetworkPortKind::Gpsd) {
        if (result.strHost.empty())
            result.strHost = "localhost";
        result.nPort = bHasPort ? *ParsePortNumber(port) : GPSD_DEFAULT_PORT;
    } else {
        if (host.empty() || !bHasPort)
            return std::nullopt;
        result.nPort = *ParsePortNumber(port);
    }
    return result;
}

std::optional<NetworkPort> ParseNetworkPort(const QString& strName)
{
    return ParseNetworkPort(std::string_view(strName.toStdString()));
}
