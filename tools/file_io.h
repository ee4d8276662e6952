#pragma once
// The package tool's file operations, one small layer per system (POSIX calls on Linux, Win32
// ANSI calls on Windows) under portable command logic. Every operation reports failure as a
// sentence for the user; an empty string means success.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor {
class CPackedTools;
}

namespace linkmoor::tools {

enum class PathKind { kMissing, kFile, kFolder, kOther };

// What stands at `path` (kMissing also when it cannot be examined).
PathKind GetPathKind(const std::string& path);

// The size of the file at `path` in bytes.
std::string GetFileSize(const std::string& path, uint64_t& size);

// Reads the whole file at `path`.
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// True when both paths name the same existing file.
bool IsSameFile(const std::string& a, const std::string& b);

struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

// Writes the pieces, in order, into a new temporary file in the folder of `path` and renames it
// to `path` at the end, replacing an existing file only when `replace` is set. On any failure the
// temporary file is removed: no partial output is ever left behind.
std::string WriteFileWhole(const std::string& path, const std::vector<ByteSpan>& pieces, bool replace);

// Creates the folder `path`; an existing folder is fine.
std::string CreateFolder(const std::string& path);

// `folder`, the system's separator, `name`.
std::string JoinPath(const std::string& folder, const std::string& name);

// The last component of `path` (after the last separator the system knows).
std::string BaseName(const std::string& path);

// Windows' own text for a Windows error code, without its closing full stop; empty where the
// system has none (always on Linux).
std::string SystemErrorText(uint32_t code);

// Loads the package inside the file at `path` with the reader's own way in for this system
// (LoadFile on POSIX, Load on an open file handle on Windows). Returns the reader's result; a
// file that cannot be opened leaves the reader's status at kPackageNotRead.
int LoadPackageFile(CPackedTools& reader, const std::string& path, int verifyOnly);

}  // namespace linkmoor::tools
