// Peak resident set size from getrusage (Linux reports ru_maxrss in KiB).

#include "bench/peak_memory.h"

#include <sys/resource.h>

namespace linkmoor::bench {

std::vector<PeakFigure> PeakMemory() {
    struct rusage usage {};
    if (::getrusage(RUSAGE_SELF, &usage) != 0) return {};
    return {{"ru_maxrss", static_cast<uint64_t>(usage.ru_maxrss) * 1024}};
}

}  // namespace linkmoor::bench
