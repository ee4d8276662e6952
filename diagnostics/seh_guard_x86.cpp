// A structured-exception guard for mingw GCC, which has no __try/__except.
//
// The guard puts a registration record (previous record, handler) at the head of the i386
// exception-registration chain (fs:0) for the length of the call. When Windows dispatches an
// exception through it, the handler puts the previous record back at fs:0, which also drops the
// dispatcher's own nested record, and jumps back to a point taken before the call. Destructors of
// objects inside the guarded call do not run on that path, so guarded code keeps what it must
// release outside the guard.
//
// C++ exceptions of this compiler unwind by DWARF tables and never reach the handler; when one
// leaves the guarded call, the record is taken off the chain on the way out.

#include "diagnostics/seh_guard.h"

#include <windows.h>

namespace linkmoor {
namespace {

// Flags of an exception record that mark an unwinding pass, not a search for a handler.
constexpr DWORD kUnwindFlags = 0x2 /* unwinding */ | 0x4 /* exit unwind */;

struct GuardRecord {
    GuardRecord* previous;  // the chain's layout: previous record, then the handler
    void* handler;
    void* resume[5];        // __builtin_setjmp buffer
};

GuardRecord* ChainHead() {
    GuardRecord* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(GuardRecord* head) {
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT*, void*) {
    if (record->ExceptionFlags & kUnwindFlags) return ExceptionContinueSearch;
    auto* guard = static_cast<GuardRecord*>(establisher);
    SetChainHead(guard->previous);
    __builtin_longjmp(guard->resume, 1);
}

// Takes the record off the chain however the guarded call ends.
class CChainRestorer {
public:
    explicit CChainRestorer(GuardRecord* previous) : m_previous(previous) {}
    ~CChainRestorer() { SetChainHead(m_previous); }
    CChainRestorer(const CChainRestorer&) = delete;
    CChainRestorer& operator=(const CChainRestorer&) = delete;

private:
    GuardRecord* m_previous;
};

// Its own frame is the one the handler resumes in; kept out of line so that frame exists.
__attribute__((noinline)) bool CallUnderRecord(GuardRecord* guard, void (*fn)(void*),
                                               void* context) {
    if (__builtin_setjmp(guard->resume)) return false;
    SetChainHead(guard);
    fn(context);
    return true;
}

}  // namespace

bool RunGuarded(void (*fn)(void* context), void* context) {
    GuardRecord guard{};
    guard.previous = ChainHead();
    guard.handler = reinterpret_cast<void*>(&GuardHandler);
    CChainRestorer restore(guard.previous);
    return CallUnderRecord(&guard, fn, context);
}

}  // namespace linkmoor
