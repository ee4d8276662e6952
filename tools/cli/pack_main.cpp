// linkmoor-pack: builds, appends, verifies, lists, extracts, checks and compares launcher packages.
// Arguments reach the commands as UTF-8 text on every system; on Windows they are taken from the
// wide command line, so names outside the ANSI code page stay intact.

#include "tools/cli/pack_commands.h"
#include "tools/files/file_io.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "tools/files/wide_text.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(linkmoor::tools::Utf8FromWide(std::wstring(argv[i])));
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
#endif
    linkmoor::tools::PrepareStandardStreams();
    return linkmoor::tools::RunPackTool(args, std::cout, std::cerr);
}
