// The launcher's memory need for a package, against the limit measured under Wine.

#include "tools/model/launcher_memory.h"

#include "diagnostics/error_messages.h"
#include "package/packed_tools.h"

namespace linkmoor::tools {

namespace {

std::string Mebibytes(uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

}  // namespace

MemoryNeed MemoryNeedOf(uint64_t fileSize, const CPackedTools& reader) {
    MemoryNeed need;
    need.file = fileSize;
    for (const auto& [name, entry] : reader.m_files) need.AddEntry(entry.size);
    return need;
}

std::string MemoryWarning(const MemoryNeed& need, const std::string& subject) {
    if (need.Total() <= kLauncherMemoryLimit) return {};
    return "warning: " + subject + " needs about " + Mebibytes(need.Total()) +
           " of memory at once when it opens its package (the file " + Mebibytes(need.file) + ", the contents " +
           Mebibytes(need.contents) + ", the largest entry " + Mebibytes(need.largestEntry) +
           " once more), more than the " + Mebibytes(kLauncherMemoryLimit) +
           " the 32-bit launcher is known to hold: it may stop with \"" + kOutOfMemoryText + "\"";
}

}  // namespace linkmoor::tools
