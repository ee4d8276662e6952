#pragma once
// The package reader: finds the package in a file held in memory, verifies its body digest,
// inflates and verifies every entry at once, and keeps the contents in an index by exact name.
// It never throws for a bad package; it records a status instead.
//
// The work on the file's bytes is portable; only getting the bytes differs: OpenSelf and
// Load(HANDLE) on Windows, LoadFile on other systems (the package tool).

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace linkmoor {

// Results recorded in CPackedTools::m_status.
enum PackageStatus : int32_t {
    kPackageOk = 0,
    kPackageNotRead = -1,   // own file not found, not opened or not read whole
    kPackageDamaged = -2,   // package missing or damaged
    kPackageNoMemory = -3,  // out of memory
};

class CPackedTools {
public:
    static constexpr uint32_t kOutBufferSize = 0x200000;  // 2 MiB inflate output buffer

    struct Entry {
        std::unique_ptr<uint8_t[]> data;  // exactly `size` bytes of verified contents
        uint32_t size = 0;
    };

    // Byte-wise order of unsigned bytes, shorter key first on a common prefix: case-sensitive.
    struct ByteLess {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    CPackedTools();
    virtual ~CPackedTools();
    CPackedTools(const CPackedTools&) = delete;
    CPackedTools& operator=(const CPackedTools&) = delete;

#ifdef _WIN32
    // Opens the running executable and loads its package. 1 on success, else 0.
    int OpenSelf();
    // Reads the whole open file and loads its package; `file` is a Windows HANDLE.
    int Load(void* file, int verifyOnly);
#else
    // Reads the whole file at `path` and loads its package (the package tool's way in).
    int LoadFile(const char* path, int verifyOnly);
#endif

    // The portable part of a load, on the file's bytes: scan, body digest, entries, index.
    // `verifyOnly` 1 empties the index again at the end. Returns 1 when m_status ends as 0.
    int LoadBytes(const uint8_t* file, uint32_t size, int verifyOnly);

    // Looks an entry up by its exact name. 1 and the outputs set when found; 0 and the outputs
    // untouched otherwise. The data stays owned by the reader.
    int GetFile(const char* name, const uint8_t** data, uint32_t* size) const;

    // Releases every entry and empties the index.
    void Clear();

    // Inflates one zlib stream into `out` (empty on entry); `out` is empty when the stream failed.
    void Inflate(std::string& out, const uint8_t* stream, uint32_t length);

    int32_t m_status = kPackageOk;
    std::unique_ptr<uint8_t[]> m_outBuffer;
    uint32_t m_outBufferSize = 0;
    std::map<std::string, Entry, ByteLess> m_files;

private:
    enum class InflateResult { kDone, kFailed, kNoMemory };

    // Inflate with the reason of a failure: a damaged stream, or no memory for the contents.
    InflateResult InflateStream(std::string& out, const uint8_t* stream, uint32_t length);

    // Verifies and indexes the package whose header starts at `header`, with `available` bytes
    // of the file from there on. Returns the status of the load.
    int32_t LoadPackage(const uint8_t* header, size_t available);

    // Step shared by every way in: on failure, or when only verifying, the index is emptied.
    int EndLoad(int verifyOnly);
};

}  // namespace linkmoor
