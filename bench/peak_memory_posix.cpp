// Peak resident set size from getrusage (Linux reports ru_maxrss in KiB), current from /proc.

#include "bench/peak_memory.h"

#include <sys/resource.h>

#include <cstdio>

namespace linkmoor::bench {

std::vector<PeakFigure> PeakMemory() {
    struct rusage usage {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return {};
    return {{"ru_maxrss", static_cast<uint64_t>(usage.ru_maxrss) * 1024}};
}

std::vector<PeakFigure> CurrentMemory() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return {};
    char line[256];
    unsigned long long kib = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof(line), status)) {
        found = std::sscanf(line, "VmRSS: %llu kB", &kib) == 1;
    }
    std::fclose(status);
    if (!found) return {};
    return {{"VmRSS", kib * 1024}};
}

}  // namespace linkmoor::bench
