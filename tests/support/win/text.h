#pragma once
// Pieces of texts the programs under test write.

#include <string>
#include <vector>

namespace linkmoor::test {

// "a\r\nb\r\n" -> {"a", "b"}; a last line without CR LF is kept.
std::vector<std::string> SplitLines(const std::string& text);

// The text without one pair of enclosing quotation marks, if it has them.
std::string Unquoted(const std::string& text);

}  // namespace linkmoor::test
