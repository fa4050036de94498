#include "tools/cli/CliCommands.h"

#include <cstdio>

int CliConvert(int, char**)
{
    std::fprintf(stderr, "veltrip-cli: not available yet\n");
    return CLI_FAILED;
}
