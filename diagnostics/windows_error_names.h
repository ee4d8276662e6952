#pragma once
// The names Windows gives its error codes (ERROR_DISK_FULL for 112), taken at build time from the
// toolchain's winerror.h. Portable.

#include <cstdint>

namespace linkmoor {

// Null for a code the header does not name.
const char* WindowsErrorName(uint32_t code);

}  // namespace linkmoor
