#pragma once
// Folders that less-trusted programs can neither change nor replace: created with an explicit,
// protected access list (full control for SYSTEM and the Administrators group, inherited by
// everything created beneath, nothing inherited from the parent; owner the Administrators group
// where the token allows it; whoever owns an object beneath may only read its security) and
// opened in the same step, so that the handle pins the very folder that was created.

#include <windows.h>

#include "win32/unique_handle.h"

namespace linkmoor {

// The descriptor, as security descriptor text.
inline constexpr char kProtectedFolderOwner[] = "O:BA";
// The owner of a file is otherwise allowed to rewrite its access list: under the policy that makes
// an administrator's new objects belong to the user, the user's unelevated programs could then
// open an unpacked file for writing. The OWNER RIGHTS entry limits the owner to reading the
// descriptor; it names OWNER RIGHTS by its SID, which every Windows parses, where the older
// parsers do not know the "OW" alias.
inline constexpr char kProtectedFolderAccessList[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;RC;;;S-1-3-4)";

// The descriptor in memory, with or without the owner; null when it cannot be built.
UniqueLocalMemory ProtectedFolderDescriptor(bool withOwner);

// Creates the folder `path` (its parent must exist, the name must not) with the protected
// descriptor and returns it open: not inheritable, shared for reading and writing but not for
// deleting, so nobody can rename, remove or replace it while the handle is held. A token that may
// not make the Administrators group the owner gets the folder without that owner. On failure the
// handle is invalid and the last error is what creating a folder reports (183 for a name that
// exists, 3 for a missing parent).
UniqueFile CreateProtectedFolder(const char* path);

}  // namespace linkmoor
