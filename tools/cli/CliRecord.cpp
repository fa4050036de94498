#include "tools/cli/CliCommands.h"

#include <cstdio>

int CliRecord(int, char**)
{
    std::fprintf(stderr, "veltrip-cli: not available yet\n");
    return CLI_FAILED;
}
