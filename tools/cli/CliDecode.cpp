#include "tools/cli/CliCommands.h"

#include <cstdio>

int CliDecode(int, char**)
{
    std::fprintf(stderr, "veltrip-cli: not available yet\n");
    return CLI_FAILED;
}
