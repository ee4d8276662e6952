// The structured-exception guard for 64-bit Windows, where mingw GCC has no __try/__except and
// there is no exception-registration chain: handlers are found through each function's unwind
// table. The guarded call is made by a small function whose table names a handler of ours, as a
// compiler's __except would. On a search pass for any exception but this compiler's own C++
// throws, the handler unwinds every frame above it to a landing point inside that function,
// which then returns false. Handlers of the frames above it, inside the call, see the exception
// first, as they would with a compiler's __try. Destructors of objects inside the guarded call may
// or may not run on that path (the C++ runtime decides), so guarded code keeps what it must
// release outside the guard.

#include "diagnostics/seh_guard.h"

#include <windows.h>

namespace {

// Flags of an exception record that mark an unwinding pass, not a search for a handler.
constexpr DWORD kUnwindFlags = EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND;

// The code under which this compiler's runtime raises a C++ exception: it must pass through.
constexpr DWORD kGccCxxThrow = 0x20474343;  // "GCC " with the customer bit

}  // namespace

extern "C" {

// Calls fn(context) with a frame whose unwind table names linkmoor_guard_handler; returns true,
// or false when the handler unwound to linkmoor_guard_landing.
bool linkmoor_guarded_call(void (*fn)(void*), void* context);
void linkmoor_guard_landing();

EXCEPTION_DISPOSITION linkmoor_guard_handler(EXCEPTION_RECORD* record, void* establisherFrame,
                                             CONTEXT* context, DISPATCHER_CONTEXT* dispatch) {
    if ((record->ExceptionFlags & kUnwindFlags) || record->ExceptionCode == kGccCxxThrow)
        return ExceptionContinueSearch;
    ::RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&linkmoor_guard_landing), record,
                  nullptr, context, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: the unwind resumes at the landing point
}

}  // extern "C"

// The frame: rbp saved, the 32 bytes of home space every call needs, the stack 16-byte aligned
// at the call. The landing point is resumed with the stack pointer as it was in the body, so the
// ordinary epilogue follows it.
asm(R"(
    .text
    .globl linkmoor_guarded_call
    .def linkmoor_guarded_call; .scl 2; .type 32; .endef
    .seh_proc linkmoor_guarded_call
linkmoor_guarded_call:
    pushq %rbp
    .seh_pushreg %rbp
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    .seh_handler linkmoor_guard_handler, @except
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    movl $1, %eax
    jmp 1f
    .globl linkmoor_guard_landing
linkmoor_guard_landing:
    xorl %eax, %eax
1:
    addq $32, %rsp
    popq %rbp
    ret
    .seh_endproc
)");

namespace linkmoor {

bool RunGuarded(void (*fn)(void* context), void* context) {
    return linkmoor_guarded_call(fn, context);
}

}  // namespace linkmoor
