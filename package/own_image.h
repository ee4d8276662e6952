#pragma once
// Whether a file is the one the running program was started from (Windows only).

#include <windows.h>

namespace linkmoor {

// True when `file` (open for reading) is the very file this process's executable image was
// mapped from: the same file, not merely one with the same name or the same bytes.
bool IsFileOfThisProcess(HANDLE file);

}  // namespace linkmoor
