#pragma once
// Runs a function under a guard that catches structured exceptions (an access violation, for
// instance) and drops them. mingw GCC has no __try/__except; the guard hooks the i386
// exception-registration chain. C++ exceptions pass through it untouched.

namespace linkmoor {

// Calls fn(context). Returns true when it returned normally, false when a structured exception
// was raised inside it and dropped.
bool RunGuarded(void (*fn)(void* context), void* context);

// Convenience for a callable: RunGuarded over a lambda without captures' lifetimes issues.
template <typename F>
bool RunGuarded(F&& f) {
    return RunGuarded([](void* c) { (*static_cast<F*>(c))(); }, &f);
}

}  // namespace linkmoor
