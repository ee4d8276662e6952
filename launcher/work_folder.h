#pragma once
// Choice of the work folder: the first of four candidates in which a file can really be created,
// written and deleted. The chosen folder comes back by its path (no trailing backslash) and open:
// the log is created through that handle, never through the path again.

#include <cstdint>

#include "win32/unique_handle.h"

namespace linkmoor {

// Opens `folder` as a folder of a file system, then creates in it, through that handle,
// "__try__temporary__file__<tick count>" (only when that name does not exist), writes 32 bytes
// and closes it, which deletes it. The open folder when the write succeeded, else invalid.
UniqueFile ProbeFolder(const char* folder);

using FolderProbe = UniqueFile (*)(const char* folder);

// Tries the user's temporary folder, the system Temp folder, the root of each volume that has a
// mount path from C to Z (by its volume GUID path) and the launcher's own folder, in that order.
// True with the chosen folder's path in `buffer` and the folder open in `folder`; after false the
// buffer is not to be used. `probe` is there for tests only: Wine cannot create files through a
// volume GUID path.
bool SelectWorkFolder(char* buffer, uint32_t size, UniqueFile& folder,
                      FolderProbe probe = ProbeFolder);

}  // namespace linkmoor
