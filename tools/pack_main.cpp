// linkmoor-pack: builds, appends, verifies, lists, extracts, checks and compares launcher packages.

#include "tools/pack_commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return linkmoor::tools::RunPackTool(args, std::cout, std::cerr);
}
