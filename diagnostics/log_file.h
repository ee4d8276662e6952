#pragma once
// The launcher's log file: where it lives and how it is opened.

#include <windows.h>

#include "win32/unique_handle.h"

namespace linkmoor {

// Created in the work folder.
inline constexpr char kLogFileName[] = "linkmoor-technician-customer-module.log";

// Who may open the log, whatever folder it lies in: the current user, the Administrators group
// and SYSTEM, with full control, and nobody else; nothing inherited from the folder. It holds the
// customer module's standard error and names the run folder, and the work folder may be one every
// user of the machine can read. Filled with the current user's SID.
inline constexpr char kLogAccessListFormat[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;%s)";

// The log's descriptor in memory; null when it cannot be built.
UniqueLocalMemory LogFileDescriptor();

// Creates the log file `name` in the open folder `folder` anew (an earlier log is truncated), for
// writing, shared for reading and writing, and inheritable: the customer module receives it as
// its standard error. A new log gets the descriptor above; an earlier log that is reused is given
// its access list before anything is written to it, or is removed and created anew when that is
// refused. The work folder may be writable by less-trusted programs and is reached only
// through the handle, never its path again. The name is never followed when it stands there as a
// link: a link (a file with a second hard link, a reparse point) is removed and a fresh file
// created in its place, so the launcher never truncates or writes the file a link leads to. An
// earlier log is reused only when it is a plain file owned by the current user, the
// Administrators group or SYSTEM; one owned by another account (in a folder every user can write)
// is removed too. Anything else standing there (a folder) is left alone and there is no log, and
// so there is none when the descriptor cannot be built.
// Failure is not reported here: the invalid handle is handed on and the log writer drops every
// line written through it. The caller owns the handle.
HANDLE CreateLogFile(HANDLE folder, const char* name);

// Test seam: reads the owner of an open file into `owner` (a buffer of `size` bytes). Wine reads
// every file's owner back as its one user, so a test stands in for a log owned by another
// account here. Null puts the real reading back. The launcher never calls it.
using FileOwnerReader = bool (*)(HANDLE file, PSID owner, DWORD size);
void SetFileOwnerReaderForTest(FileOwnerReader reader);

}  // namespace linkmoor
