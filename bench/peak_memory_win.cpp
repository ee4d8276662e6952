// Peak working set and peak committed memory from GetProcessMemoryInfo.

#include "bench/peak_memory.h"

#include <windows.h>
#include <psapi.h>

namespace linkmoor::bench {

std::vector<PeakFigure> PeakMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return {};
    return {{"PeakWorkingSetSize", counters.PeakWorkingSetSize}, {"PeakPagefileUsage", counters.PeakPagefileUsage}};
}

}  // namespace linkmoor::bench
