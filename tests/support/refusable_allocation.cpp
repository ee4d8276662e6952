#include "refusable_allocation.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<linkmoor::test::AllocationFilter> g_filter{nullptr};

void* Allocate(std::size_t size) {
    const linkmoor::test::AllocationFilter filter = g_filter.load();
    if (filter != nullptr && filter(size)) return nullptr;
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

namespace linkmoor::test {

void SetAllocationFilter(AllocationFilter filter) { g_filter = filter; }

}  // namespace linkmoor::test

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
