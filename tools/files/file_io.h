#pragma once
// The package tool's file operations, one small layer per system (POSIX calls on Linux, the wide
// Win32 calls on Windows) under portable command logic. Paths and names are UTF-8 text on every
// system. Every operation reports failure as a sentence for the user; an empty string means
// success.

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

// What stands at `path`, its size for a file, and the system's words when it cannot be examined
// ("No such file or directory").
struct FileFacts {
    PathKind kind = PathKind::kMissing;
    uint64_t size = 0;
    std::string problem;
};
FileFacts ExamineFile(const std::string& path);

// The system's words for why the file at `path` cannot be opened for reading ("Permission
// denied"), or empty when it opens.
std::string OpenProblem(const std::string& path);

// The size of the file at `path` in bytes.
std::string GetFileSize(const std::string& path, uint64_t& size);

// Reads the whole file at `path`.
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Reads standard input to its end.
std::string ReadStandardInput(std::vector<uint8_t>& bytes);

// True when both paths name the same existing file.
bool IsSameFile(const std::string& a, const std::string& b);

struct ByteSpan {
    const uint8_t* data;
    size_t size;
};

// Writes the pieces, in order, into a new temporary file in the folder of `path` and renames it
// to `path` at the end, replacing an existing file only when `replace` is set. On any failure the
// temporary file is removed: no partial output is ever left behind, also when the program is
// interrupted (SIGINT, SIGTERM, SIGHUP; Ctrl+C, Ctrl+Break or closing the console on Windows).
// `executableBits` (POSIX permission bits 0111) are set on the output as far as the umask lets
// them; Windows has none.
std::string WriteFileWhole(const std::string& path, const std::vector<ByteSpan>& pieces, bool replace,
                           uint32_t executableBits = 0);

// The executable bits (0111) of the file at `path`; 0 where it has none or cannot be examined,
// always on Windows.
uint32_t ExecutableBits(const std::string& path);

// While an object of this class lives, an interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C, Ctrl+Break,
// closing the console) does not end the program at once: it is noted, a WriteFileWhole in
// progress stops (removing its temporary file) with an error, and the command removes what it
// wrote and then calls EndByInterrupt. One command at a time uses it.
class CInterruptDeferral {
public:
    CInterruptDeferral();
    ~CInterruptDeferral();
    CInterruptDeferral(const CInterruptDeferral&) = delete;
    CInterruptDeferral& operator=(const CInterruptDeferral&) = delete;
};

// The end of a write stopped by a deferred interrupt ("cannot write 'PATH': interrupted").
inline constexpr char kInterruptedWord[] = "interrupted";

// The interrupt that came while a CInterruptDeferral lived, in words ("SIGINT", "Ctrl+C"), or
// empty when none came.
std::string PendingInterrupt();

// Ends the process the way the pending interrupt would have (by the signal on POSIX, with
// STATUS_CONTROL_C_EXIT on Windows).
[[noreturn]] void EndByInterrupt();

// Writes the pieces to standard output as they are (no line-end translation).
std::string WriteStandardOutput(const std::vector<ByteSpan>& pieces);

// The standard streams as messages name them.
inline constexpr char kStandardInputName[] = "standard input";
inline constexpr char kStandardOutputName[] = "standard output";
inline constexpr char kStandardErrorName[] = "standard error";

// True when standard output is a terminal or console (no place for a package's bytes).
bool StandardOutputIsTerminal();

// Creates the folder `path`; an existing folder is fine. `created` tells whether it was made.
std::string CreateFolder(const std::string& path, bool* created = nullptr);

// Removes a file; removes a folder only when it is empty. False when the system refused.
bool RemoveFile(const std::string& path);
bool RemoveEmptyFolder(const std::string& path);

// `folder`, the system's separator, `name`.
std::string JoinPath(const std::string& folder, const std::string& name);

// The last component of `path` (after the last separator the system knows).
std::string BaseName(const std::string& path);

// Everything before the last component, or "." when `path` has no folder part.
std::string FolderOf(const std::string& path);

// True when `path` does not depend on the current folder (on Windows also "C:x" and "\x", which
// depend on it only partly and are taken as they are).
bool IsAbsolutePath(const std::string& path);

// Windows' own text for a Windows error code, without its closing full stop; empty where the
// system has none (always on Linux).
std::string SystemErrorText(uint32_t code);

// Loads the package inside the file at `path` with the reader's own way in for this system
// (LoadFile on POSIX, Load on an open file handle on Windows). Returns the reader's result; a
// file that cannot be opened leaves the reader's status at kPackageNotRead.
int LoadPackageFile(CPackedTools& reader, const std::string& path, int verifyOnly);

// Sets the standard streams up for UTF-8 text, each on a COutputBuffer that keeps the first
// failed write (see report_stream.h): on Windows a console shows the text through the wide
// console calls, so names in any script print as they are, and a file or a pipe gets its lines
// with CR LF; elsewhere the bytes go to the descriptors as they are.
void PrepareStandardStreams();

}  // namespace linkmoor::tools
