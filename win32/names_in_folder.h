#pragma once
// Files reached by their bare name inside a folder that is already open. The folder's path is
// resolved once, when the folder is opened; what later happens to that path (a link re-pointed,
// the folder renamed and another put in its place) no longer changes where a name leads. A link
// standing under the name itself is never followed.

#include <windows.h>

#include "win32/unique_handle.h"

namespace linkmoor {

// Opens `path` as a folder of a file system, shared with everyone (the folder stays its owner's
// to use), by default for reaching the names in it; `access` asks for other rights on the folder.
// Invalid, with the last error, when the path leads to no such folder (a file, a missing folder,
// something outside every file system such as a link into the object manager's namespace) or
// the rights are refused.
inline constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE;
UniqueFile OpenFolder(const char* path, DWORD access = kFolderAccess);

// How a name is opened: the access, the sharing, the disposition and the create options of
// NtCreateFile, and whether a started program inherits the handle.
struct NameOpening {
    ACCESS_MASK access;
    ULONG sharing;
    ULONG disposition;  // FILE_CREATE, FILE_OPEN
    ULONG options;      // FILE_NON_DIRECTORY_FILE, FILE_DELETE_ON_CLOSE...
    bool inheritable;
};

// Opens `name` (a plain file name, no folders) in `folder` as `how` says, synchronous, with the
// name's own link opened rather than followed; a file it creates gets `descriptor` (null: the
// folder's inherited entries). Returns the system's status; on failure `file` is invalid and the
// last error is the status's Windows error.
LONG OpenNameInFolder(HANDLE folder, const char* name, const NameOpening& how, UniqueFile& file,
                      PSECURITY_DESCRIPTOR descriptor = nullptr);

// Marks the file open in `file` (opened with DELETE access) for deletion when its last handle
// closes: the name it was opened by goes, not whatever that name leads to now.
bool DeleteThroughHandle(HANDLE file);

}  // namespace linkmoor
