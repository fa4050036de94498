#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Takes over an option's value (nullptr for a flag); returns the problem to
// report, or an empty text when the value is accepted.
using CliOptionTaker = std::function<std::string(const char* szValue)>;

struct CliOption
{
    const char* szName;        // "--utc"
    const char* szValueName;   // as the usage names the value; nullptr for a flag
    CliOptionTaker fnTake;
};

struct CliSyntax
{
    const char* szCommand;                // "decode", as the messages name it
    const char* szUsage;                  // the usage line, newline included
    std::string strHelp;                  // what --help prints after the usage line
    std::vector<CliOption> options;
    std::vector<const char*> arguments;   // names of the positional arguments; "[NAME]" is optional
};

// Parses a command's arguments; argv[0] is the command's name. Options and
// positional arguments may come in any order, "-" alone is positional, and
// after "--" everything is (a file may be named "-x").
// Returns the exit code when the command is done: --help printed the usage
// and help to stdout, or a problem went to stderr with the usage. Otherwise
// returns nothing and args holds the positional arguments in order.
std::optional<int> ParseCliArgs(int argc, char** argv, const CliSyntax& syntax,
                                std::vector<const char*>& args);

// A finite decimal number filling [pBegin, pEnd), with a decimal point
// whatever the locale.
bool CliParseNumber(const char* pBegin, const char* pEnd, double& d);

CliOption CliFlag(const char* szName, bool& bTarget);
CliOption CliText(const char* szName, const char* szValueName, const char*& szTarget);
// A whole number from nMin to nMax.
CliOption CliInt(const char* szName, const char* szValueName, int nMin, int nMax,
                 std::optional<int>& nTarget);
