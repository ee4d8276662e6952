#pragma once
// Milliseconds since some fixed moment (system start on Windows), wrapping at 2^32: the seed of
// the runtime's pseudo-random generator.

#include <cstdint>

namespace linkmoor {

uint32_t TickCount();

}  // namespace linkmoor
