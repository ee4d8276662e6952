#pragma once
// Milliseconds on the performance counter. GetTickCount is not fit for checking a pause: under
// Wine on a loaded machine its value can lag behind, and a Sleep(500) then seems to last 493 ms.

#include <windows.h>

#include <cstdint>

namespace linkmoor::test {

inline int64_t NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

}  // namespace linkmoor::test
