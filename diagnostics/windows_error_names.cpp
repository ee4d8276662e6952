#include "diagnostics/windows_error_names.h"

#include <algorithm>
#include <iterator>

namespace linkmoor {

namespace {

struct NamedCode {
    uint32_t code;
    const char* name;
};

// In ascending code order.
constexpr NamedCode kNames[] = {
#include "windows_error_names.inc"
};

}  // namespace

const char* WindowsErrorName(uint32_t code) {
    const auto found = std::lower_bound(std::begin(kNames), std::end(kNames), code,
                                        [](const NamedCode& row, uint32_t c) { return row.code < c; });
    return found != std::end(kNames) && found->code == code ? found->name : nullptr;
}

}  // namespace linkmoor
