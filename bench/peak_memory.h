#pragma once
// The process's memory as the system counts it: the peak so far and the current figure.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::bench {

struct PeakFigure {
    std::string what;  // the system's name for the figure
    uint64_t bytes;
};

// Peak figures so far: Windows PeakWorkingSetSize and PeakPagefileUsage, Linux ru_maxrss.
std::vector<PeakFigure> PeakMemory();

// The current figures that correspond to PeakMemory's, in the same order: Windows
// WorkingSetSize and PagefileUsage, Linux VmRSS. A load's own peak is a peak figure taken after
// it minus the current figure taken just before it.
std::vector<PeakFigure> CurrentMemory();

}  // namespace linkmoor::bench
