#pragma once
// The running program's own file: whether a file is the one the program was started from, and
// whether its drive is there (Windows only).

#include <windows.h>

#include <string>

namespace linkmoor {

// True when `file` (open for reading) is the very file this process's executable image was
// mapped from: the same file, not merely one with the same name or the same bytes.
bool IsFileOfThisProcess(HANDLE file);

// Whether the program's own file lies on a drive letter that names no drive in this session (a
// network drive mapped in the user's unelevated session is not there for an elevated program);
// `drive` then holds its letter and colon.
bool OwnFileDriveMissing(std::string& drive);

}  // namespace linkmoor
