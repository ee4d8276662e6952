#pragma once
// A program that links refused_allocation.cpp has its global operator new replaced, so that a
// test can refuse one allocation, standing in for a machine that runs out of memory just then.

namespace linkmoor::test {

// The next allocation made by the calling thread fails with std::bad_alloc; other threads (a
// box watcher, say) are not affected.
void RefuseNextAllocationOfThisThread();

}  // namespace linkmoor::test
