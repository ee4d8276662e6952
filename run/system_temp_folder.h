#pragma once
// Where the run folder goes: the system's own temp folders, which the user's unelevated programs
// can neither redirect, link nor rename (they may at most create names in them).

#include <string>

namespace linkmoor {

// The Windows folder's Temp, appended to the Windows folder: where every user may create names
// but none but administrators may rename or remove anything.
inline constexpr char kWindowsTempName[] = "\\Temp";

// The places for the run folder, in the order they are tried, without trailing backslashes: the
// Windows folder's SystemTemp (newer Windows keep SYSTEM's temporary files there; it may be
// missing, or closed to administrators by a policy), then the Windows folder's Temp. The Windows
// folder is the system's own, never taken from the environment.
struct RunFolderParents {
    std::string systemTemp;
    std::string windowsTemp;
};

// False, with the last error, when the system does not name its Windows folder.
bool SystemTempFolders(RunFolderParents& parents);

}  // namespace linkmoor
