#pragma once
// What the 32-bit launcher must hold in memory at once to open its package: it reads its whole
// file into one buffer and inflates every entry into a block of its own before it unpacks
// anything, and while an entry is inflated its contents are held a second time. Above the limit
// measured under Wine (tools/README) the launcher may stop with its "not enough resources" box.

#include <cstdint>
#include <string>

namespace linkmoor {
class CPackedTools;
}

namespace linkmoor::tools {

struct MemoryNeed {
    uint64_t file = 0;          // the launcher's file: executable, package, signature
    uint64_t contents = 0;      // every entry's contents
    uint64_t largestEntry = 0;  // held twice while it is inflated
    uint64_t Total() const { return file + contents + largestEntry; }
    void AddEntry(uint64_t size) {
        contents += size;
        if (size > largestEntry) largestEntry = size;
    }
};

// The largest need of a package that the 32-bit launcher was measured to open under Wine.
inline constexpr uint64_t kLauncherMemoryLimit = 1536ull << 20;

MemoryNeed MemoryNeedOf(uint64_t fileSize, const CPackedTools& reader);

// Empty within the limit; otherwise the warning, as a sentence that `subject` starts ("the
// launcher with this package"), without the program's prefix.
std::string MemoryWarning(const MemoryNeed& need, const std::string& subject);

}  // namespace linkmoor::tools
