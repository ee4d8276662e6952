// linkmoor-troubleshooting-page: writes the technicians' troubleshooting page to standard output,
// or with --check FILE tells whether FILE is that page (exit 1 when it is not).

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#include "tools/explain/troubleshooting_page.h"

int main(int argc, char** argv) {
    std::ostringstream page;
    linkmoor::tools::WriteTroubleshootingPage(page);
    if (argc == 3 && std::string(argv[1]) == "--check") {
        std::ifstream file(argv[2], std::ios::binary);
        const std::string stored((std::istreambuf_iterator<char>(file)), {});
        if (stored == page.str()) return 0;
        std::cerr << argv[2] << " is not the page the explanations give; make it again with "
                  << argv[0] << " > " << argv[2] << "\n";
        return 1;
    }
    if (argc != 1) {
        std::cerr << "usage: " << argv[0] << " [--check FILE]\n";
        return 64;
    }
    std::cout << page.str();
    return 0;
}
