#include "tools/cli/CliCommands.h"

#include <cstdio>

int CliInfo(int, char**)
{
    std::fprintf(stderr, "veltrip-cli: not available yet\n");
    return CLI_FAILED;
}
