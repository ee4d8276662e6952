#pragma once
// What create, append and extract wrote, kept for their --json document: the output, its size
// and SHA-256, and each entry with its size and digests, so a release script reads them instead
// of scraping "N entries, M bytes".

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace linkmoor::tools {

struct CommandLine;

struct WrittenEntry {
    std::string name;
    uint64_t size = 0;
    std::string md5;     // of the contents, lower-case hexadecimal
    std::string sha256;
    std::string target;  // extract: the file written
    bool replaced = false;  // extract --force: the file existed and was replaced
};

struct WriteRecord {
    bool written = false;  // the output is complete
    std::string output;    // the package or launcher written, or extract's folder
    uint64_t size = 0;     // create, append: the output's size
    std::string sha256;    // create, append: the output's SHA-256
    int keyByte = -1;      // create: the header's key byte
    uint64_t packageOffset = 0;  // append: where the package starts
    const char* machine = nullptr;  // append: "x86" or "x64"
    std::vector<WrittenEntry> entries;
};

// An entry's record: its name, size and digests.
WrittenEntry RecordEntry(const std::string& name, const uint8_t* data, size_t size);

// The output's size and SHA-256.
void RecordOutput(WriteRecord& record, const std::string& path, const uint8_t* data, size_t size);

// A writing command, run with its report lines going to `out` and `err`.
using WritingCommand = int (*)(const CommandLine& line, std::ostream& out, std::ostream& err, WriteRecord& record);

// Runs `command`; with --json its lines are kept and one document goes to `out` instead: the
// common members, `messages` (what it would have written on standard error), `output` (path,
// size, sha256; null when nothing was written), `key_byte` (create), `package_offset` and
// `machine` (append), and `entries`.
int RunRecorded(WritingCommand command, const CommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace linkmoor::tools
