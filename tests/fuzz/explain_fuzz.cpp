// Fuzz target: explain's box reader and log reader on arbitrary bytes, the same bytes given to
// both. Besides the sanitizers' findings (and a crash or a stack overflow) it stops on any broken
// promise of the readers: a refusal writes nothing; a report holds no control byte a log could
// smuggle to the terminal and no line longer than the texts it shows allow.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/explain/explain.h"

namespace {

using namespace linkmoor::tools;

// Four report fields of a log line at most (the system line), each escaped at four characters a
// byte, and the report's own words.
constexpr size_t kLongestReportLine = 5 * 4 * kLongestShownText;

void CheckReport(bool explained, const std::string& report) {
    if (!explained) {
        if (!report.empty()) __builtin_trap();
        return;
    }
    size_t lineLength = 0;
    for (char c : report) {
        const uint8_t byte = uint8_t(c);
        if (byte == '\n') {
            lineLength = 0;
            continue;
        }
        if ((byte < 0x20 && byte != '\t') || byte == 0x7f || ++lineLength > kLongestReportLine)
            __builtin_trap();
    }
    if (report.empty() || report.back() != '\n') __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::ostringstream box;
    CheckReport(ExplainBoxText(std::string(data, data + size), box), box.str());

    std::ostringstream log;
    CheckReport(ExplainLog("fuzz.log", std::vector<uint8_t>(data, data + size), log), log.str());
    return 0;
}
