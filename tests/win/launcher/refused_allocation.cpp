#include "refused_allocation.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<DWORD> g_refusingThread{0};

void* Allocate(size_t size) {
    DWORD self = GetCurrentThreadId();
    if (g_refusingThread.load() == self && g_refusingThread.compare_exchange_strong(self, 0))
        return nullptr;
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

namespace linkmoor::test {

void RefuseNextAllocationOfThisThread() { g_refusingThread = GetCurrentThreadId(); }

}  // namespace linkmoor::test

void* operator new(size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
