#pragma once
// Runs a function under a guard that catches structured exceptions (an access violation, for
// instance) and drops them. mingw GCC has no __try/__except; the guard hooks the i386
// exception-registration chain (seh_guard_x86.cpp) or, on 64-bit Windows, the unwind table of
// the function that makes the call (seh_guard_x64.cpp). C++ exceptions pass through it untouched.

#include <type_traits>

namespace linkmoor {

// Calls fn(context). Returns true when it returned normally, false when a structured exception
// was raised inside it and dropped.
bool RunGuarded(void (*fn)(void* context), void* context);

// Convenience for a callable (a lambda with captures): calls f() under the guard. Objects
// created inside f are not destroyed when a structured exception cuts it short, so f should
// leave anything it must release in the caller's hands.
template <typename F>
bool RunGuarded(F&& f) {
    using Callable = std::remove_reference_t<F>;
    return RunGuarded([](void* c) { (*static_cast<Callable*>(c))(); },
                      const_cast<void*>(static_cast<const volatile void*>(&f)));
}

}  // namespace linkmoor
