#pragma once
// The process's peak memory so far, as the system counts it.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::bench {

struct PeakFigure {
    std::string what;  // the system's name for the figure
    uint64_t bytes;
};

std::vector<PeakFigure> PeakMemory();

}  // namespace linkmoor::bench
