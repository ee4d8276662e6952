#pragma once
// Where the run folder goes: the system's own temp folder, which the user's unelevated programs
// can neither redirect, link nor rename (they may at most create names in it).

#include <string>

namespace linkmoor {

// The Windows folder's Temp, appended to the Windows folder: where every user may create names
// but none but administrators may rename or remove anything.
inline constexpr char kWindowsTempName[] = "\\Temp";

// The Windows folder's SystemTemp where it exists and this process may create folders in it,
// else the Windows folder's Temp; the Windows folder is the system's own (never taken from the
// environment). No trailing backslash. False, with the last error, when the system does not name
// its Windows folder.
bool SystemTempFolder(std::string& folder);

}  // namespace linkmoor
