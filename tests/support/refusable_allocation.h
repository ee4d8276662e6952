#pragma once
// A test program that links refusable_allocation.cpp has the global operator new replaced: every
// allocation first asks the filter set here whether to fail, standing in for a machine that runs
// out of memory at that moment. Without a filter every allocation is served.

#include <cstddef>

namespace linkmoor::test {

// True: refuse this allocation (operator new throws std::bad_alloc, the nothrow form gives null).
using AllocationFilter = bool (*)(std::size_t size);

// nullptr: refuse none.
void SetAllocationFilter(AllocationFilter filter);

}  // namespace linkmoor::test
