#pragma once
// UTF-8 as the package tool checks it: entry names must be UTF-8 (the Windows build writes them
// through the wide calls), and JSON output must be.

#include <cstddef>
#include <string>

namespace linkmoor::tools {

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when the bytes there are
// no such sequence (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
size_t Utf8SequenceAt(const std::string& text, size_t at);

bool IsUtf8(const std::string& text);

// The number of UTF-16 units the UTF-8 `text` becomes (a character above U+FFFF takes two);
// a byte that starts no well-formed sequence counts as one.
size_t Utf16Length(const std::string& text);

}  // namespace linkmoor::tools
