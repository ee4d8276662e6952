#pragma once
// Entry names as the package tool handles them: taken from a file name or given explicitly, and
// always plain file names that every supported system can write (the tool extracts what it packs).

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::tools {

// Empty when `name` can be a package entry and a file in one folder on every supported system;
// otherwise the reason, as a phrase ("holds a path separator").
std::string WhyNotPlainName(const std::string& name);

struct InputOperand {
    std::string path;
    std::string name;  // the entry name: given after the last '=', else the path's file name
};

// Splits "FILE" or "FILE=NAME" (at the last '='). A path holding '=' needs an explicit name.
InputOperand SplitInputOperand(const std::string& operand);

// The operands of a list file: one FILE[=NAME] per line; blank lines and lines starting with '#'
// are skipped, a CR before the line end is dropped.
std::vector<std::string> ParseListText(const std::string& text);

// "0".."255" in decimal or "0x00".."0xff" in hexadecimal. False for anything else.
bool ParseKeyByte(const std::string& text, uint8_t& key);

}  // namespace linkmoor::tools
