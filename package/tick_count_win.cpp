#include "package/tick_count.h"

#include <windows.h>

namespace linkmoor {

uint32_t TickCount() { return GetTickCount(); }

}  // namespace linkmoor
