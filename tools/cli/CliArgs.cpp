#include "tools/cli/CliArgs.h"

#include "platform/TextFormat.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CliText.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

std::optional<int> ParseCliArgs(int argc, char** argv, const CliSyntax& syntax,
                                std::vector<const char*>& args)
{
    const auto usage = [&syntax](const std::string& strProblem) {
        std::fprintf(stderr, "veltrip-cli %s: %s\n%s", syntax.szCommand, strProblem.c_str(),
                     syntax.szUsage);
        return CLI_USAGE;
    };
    args.clear();
    bool bOptions = true;
    for (int i = 1; i < argc; ++i) {
        const char* szArg = argv[i];
        if (bOptions && !std::strcmp(szArg, "--")) {
            bOptions = false;
            continue;
        }
        if (!bOptions || szArg[0] != '-' || szArg[1] == '\0') {
            if (args.size() == syntax.arguments.size())
                return usage("unexpected argument " + EscapedText(szArg));
            args.push_back(szArg);
            continue;
        }
        if (!std::strcmp(szArg, "--help") || !std::strcmp(szArg, "-h")) {
            std::fputs(syntax.szUsage, stdout);
            std::fputs(syntax.strHelp.c_str(), stdout);
            return CLI_OK;
        }
        const auto option = std::find_if(syntax.options.begin(), syntax.options.end(),
                                         [szArg](const CliOption& o) { return !std::strcmp(o.szName, szArg); });
        if (option == syntax.options.end())
            return usage("unknown option " + EscapedText(szArg));
        const char* szValue = nullptr;
        if (option->szValueName) {
            if (i + 1 >= argc)
                return usage(std::string(szArg) + " needs " + option->szValueName);
            szValue = argv[++i];
        }
        const std::string strProblem = option->fnTake(szValue);
        if (!strProblem.empty())
            return usage(strProblem);
    }
    if (args.size() < syntax.arguments.size() && syntax.arguments[args.size()][0] != '[')
        return usage(std::string("no ") + syntax.arguments[args.size()] + " given");
    return std::nullopt;
}

CliOption CliFlag(const char* szName, bool& bTarget)
{
    return {szName, nullptr, [&bTarget](const char*) {
                bTarget = true;
                return std::string();
            }};
}

CliOption CliText(const char* szName, const char* szValueName, const char*& szTarget)
{
    return {szName, szValueName, [&szTarget](const char* szValue) {
                szTarget = szValue;
                return std::string();
            }};
}

CliOption CliInt(const char* szName, const char* szValueName, int nMin, int nMax,
                 std::optional<int>& nTarget)
{
    return {szName, szValueName, [=, &nTarget](const char* szValue) {
                char* pEnd = nullptr;
                errno = 0;
                const long nValue = std::strtol(szValue, &pEnd, 10);
                if (errno != 0 || pEnd == szValue || *pEnd != '\0' || nValue < nMin || nValue > nMax)
                    return std::string(szName) + " takes a whole number from " + std::to_string(nMin)
                           + " to " + std::to_string(nMax);
                nTarget = static_cast<int>(nValue);
                return std::string();
            }};
}

bool CliParseNumber(const char* pBegin, const char* pEnd, double& d)
{
    // from_chars reads a decimal point whatever the locale.
    const auto result = std::from_chars(pBegin, pEnd, d);
    return result.ec == std::errc() && result.ptr == pEnd && std::isfinite(d);
}
