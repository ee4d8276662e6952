#pragma once
// Whole files read and written at once, and what a folder holds.

#include <string>
#include <vector>

namespace linkmoor::test {

// The whole file (opened shared for reading and writing), "<missing>" when it cannot be opened,
// "<unreadable>" when the read fails.
std::string ReadFileBytes(const std::string& path);
// Creates or empties the file and writes `bytes`; throws std::runtime_error when it cannot.
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Adds `bytes` at the end, creating the file if needed; throws std::runtime_error when it cannot.
void AppendFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// Names in `folder` (without "." and ".."), sorted.
std::vector<std::string> ListFolder(const std::string& folder);

}  // namespace linkmoor::test
