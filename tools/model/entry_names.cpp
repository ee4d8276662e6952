// Entry name rules and the forms in which the package tool takes its inputs.

#include "tools/model/entry_names.h"

#include "tools/files/file_io.h"
#include "tools/files/utf8.h"

#include <cctype>
#include <cstring>

namespace linkmoor::tools {
namespace {

// Device names Windows reserves in every folder, with or without an extension.
const char* const kReservedNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                      "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                      "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

// Windows (NTFS, FAT's long names) takes at most 255 UTF-16 units per path component.
constexpr size_t kLongestName = 255;

bool IsReservedDeviceName(const std::string& name) {
    const std::string stem = FoldedName(name.substr(0, name.find('.')));
    for (const char* reserved : kReservedNames)
        if (stem == reserved) return true;
    return false;
}

}  // namespace

std::string WhyNotPlainName(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name == "." || name == "..") return "names a folder";
    for (unsigned char c : name) {
        if (c == '/' || c == '\\') return "holds a path separator";
        if (c < 0x20 || c == 0x7f) return "holds a control character";
        if (std::strchr(":*?\"<>|", c) != nullptr) return "holds a character Windows does not allow in file names";
    }
    if (name.back() == '.' || name.back() == ' ') return "ends with a dot or blank, which Windows drops";
    if (IsReservedDeviceName(name)) return "is a device name reserved by Windows";
    if (!IsUtf8(name)) return "is no UTF-8 text";
    const size_t units = Utf16Length(name);
    if (units > kLongestName)
        return "is " + std::to_string(units) + " UTF-16 units long; Windows takes at most " +
               std::to_string(kLongestName) + " in a file name";
    return {};
}

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return folded;
}

InputOperand SplitInputOperand(const std::string& operand) {
    size_t equals = operand.rfind('=');
    if (equals == std::string::npos) return {operand, BaseName(operand), {}};
    return {operand.substr(0, equals), operand.substr(equals + 1), {}};
}

std::vector<ListLine> ParseListText(const std::string& text) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    static const char kBlanks[] = " \t\r\f\v";
    std::vector<ListLine> lines;
    size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    for (size_t number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t first = line.find_first_not_of(kBlanks);
        if (first == std::string::npos || line[first] == '#') continue;
        lines.push_back({number, line.substr(first, line.find_last_not_of(kBlanks) - first + 1)});
    }
    return lines;
}

bool ParseKeyByte(const std::string& text, uint8_t& key) {
    int base = 10;
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    if (start >= text.size() || text.size() - start > 3) return false;
    unsigned value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        unsigned digit;
        if (std::isdigit(c)) digit = c - '0';
        else if (base == 16 && std::isxdigit(c)) digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
        else return false;
        value = value * base + digit;
    }
    if (value > 255) return false;
    key = static_cast<uint8_t>(value);
    return true;
}

}  // namespace linkmoor::tools
