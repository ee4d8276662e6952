#pragma once
// Entry names as the package tool handles them: taken from a file name or given explicitly, and
// always plain file names that every supported system can write (the tool extracts what it packs).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::tools {

// Empty when `name` can be a package entry and a file in one folder on every supported system;
// otherwise the reason, as a phrase ("holds a path separator").
std::string WhyNotPlainName(const std::string& name);

// The name as Windows compares file names for this purpose: ASCII letters folded to capitals.
// Letters outside ASCII are left as they are (Windows folds many of them too; see tools/README).
std::string FoldedName(const std::string& name);

struct InputOperand {
    std::string path;
    std::string name;    // the entry name: given after the last '=', else the path's file name
    std::string origin;  // "LIST:LINE" for a line of a list file, empty for a command-line operand
};

// Splits "FILE" or "FILE=NAME" (at the last '='). A path holding '=' needs an explicit name.
InputOperand SplitInputOperand(const std::string& operand);

// One line of a list file that names an input.
struct ListLine {
    size_t number;     // counted from 1
    std::string text;  // without the blanks around it
};

// The lines of a list file that name inputs, one FILE[=NAME] per line: a UTF-8 byte order mark
// at the start is dropped, blanks, tabs and a CR around a line are dropped, and empty lines and
// lines whose first character is then '#' are skipped.
std::vector<ListLine> ParseListText(const std::string& text);

// "0".."255" in decimal or "0x00".."0xff" in hexadecimal. False for anything else.
bool ParseKeyByte(const std::string& text, uint8_t& key);

}  // namespace linkmoor::tools
