#pragma once
// The installer error a piece of code raised, owned by the test.

#include <memory>

#include "diagnostics/exception_ex.h"

namespace linkmoor::test {

// The error thrown by `run`, or null when it returned normally.
template <typename F>
std::unique_ptr<CExceptionEx> CatchError(F&& run) {
    try {
        run();
    } catch (CExceptionEx* error) {
        return std::unique_ptr<CExceptionEx>(error);
    }
    return nullptr;
}

}  // namespace linkmoor::test
