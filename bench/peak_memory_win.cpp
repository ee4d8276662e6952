// Working set and committed memory from GetProcessMemoryInfo.

#include "bench/peak_memory.h"

#include <windows.h>
#include <psapi.h>

namespace linkmoor::bench {

namespace {

bool Counters(PROCESS_MEMORY_COUNTERS& counters) {
    counters = {};
    counters.cb = sizeof(counters);
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)) != 0;
}

}  // namespace

std::vector<PeakFigure> PeakMemory() {
    PROCESS_MEMORY_COUNTERS counters;
    if (!Counters(counters)) return {};
    return {{"PeakWorkingSetSize", counters.PeakWorkingSetSize}, {"PeakPagefileUsage", counters.PeakPagefileUsage}};
}

std::vector<PeakFigure> CurrentMemory() {
    PROCESS_MEMORY_COUNTERS counters;
    if (!Counters(counters)) return {};
    return {{"WorkingSetSize", counters.WorkingSetSize}, {"PagefileUsage", counters.PagefileUsage}};
}

}  // namespace linkmoor::bench
