#pragma once
// The run folder's name: 32 draws from the C runtime's generator, each 1 to 16 written in
// lower-case hexadecimal at its own position, so a 16 leaves "1" (its "0" is overwritten by the
// next draw) except at the last position, where the name then ends in "10" (33 characters).

#include <cstddef>

namespace linkmoor {

inline constexpr size_t kRunFolderNameBuffer = 48;
inline constexpr int kRunFolderNameDraws = 32;

// Fills `name` (zeroed first) from rand(); the generator is seeded by whoever runs before.
void DrawRunFolderName(char (&name)[kRunFolderNameBuffer]);

}  // namespace linkmoor
