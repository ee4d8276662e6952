#pragma once
// Choice of the work folder: the first of four candidates in which a file can really be created,
// written and deleted. The chosen path has no trailing backslash.

#include <cstdint>

namespace linkmoor {

// Creates "<folder>\__try__temporary__file__<tick count>" (only when that name does not exist),
// writes 32 bytes and closes it, which deletes it. True when the write succeeded.
bool ProbeFolder(const char* folder);

using FolderProbe = bool (*)(const char* folder);

// Tries the user's temporary folder, the system Temp folder, the root of each volume that has a
// mount path from C to Z (by its volume GUID path) and the launcher's own folder, in that order.
// True with the chosen folder in `buffer`; after false the buffer is not to be used. `probe` is
// there for tests only: Wine cannot create files through a volume GUID path.
bool SelectWorkFolder(char* buffer, uint32_t size, FolderProbe probe = ProbeFolder);

}  // namespace linkmoor
