#include "run_test_support.h"

#include <windows.h>

#include "program.h"
#include "whole_file.h"

namespace linkmoor::test {

std::map<std::string, std::string> ReadRecord(const std::string& path) {
    std::map<std::string, std::string> record;
    if (!PathExists(path)) return record;
    const std::string text = ReadFileBytes(path);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) record[line.substr(0, equals)] = line.substr(equals + 1);
        at = end + 1;
    }
    return record;
}

bool PlaceCustomerModule(const std::string& folder) {
    const std::string source = ProgramFolder() + "\\test-customer-module.exe";
    const std::string target = folder + "\\linkmoor-customer-module-gui.exe";
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

}  // namespace linkmoor::test
