#pragma once
// Which Wine prefix the test runs in (the harness says so in LINKMOOR_WINE_ARCH).

namespace linkmoor::test {

// True in the 64-bit prefix.
bool IsWin64Prefix();

}  // namespace linkmoor::test
