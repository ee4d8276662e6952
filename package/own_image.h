#pragma once
// The running program's own file: its path, its drive, whether a file is the one the program was
// started from (Windows only).

#include <windows.h>

#include <string>

namespace linkmoor {

// True when `file` (open for reading) is the very file this process's executable image was
// mapped from: the same file, not merely one with the same name or the same bytes.
bool IsFileOfThisProcess(HANDLE file);

// The running program's own full path, by its wide name; false when it cannot be had whole.
bool OwnFilePath(wchar_t (&path)[MAX_PATH]);

// True when `path` starts with a drive letter that names no drive in this session: a network
// drive mapped in the user's unelevated session is not there for an elevated program.
bool IsDriveMissing(const wchar_t* path);

// Whether the program's own file lies on such a drive; `drive` then holds its letter and colon.
bool OwnFileDriveMissing(std::string& drive);

}  // namespace linkmoor
