#pragma once
// The operations Windows keeps for the next reboot: PendingFileRenameOperations under the
// Session Manager key of HKLM, shared by the whole prefix (tests that touch it hold its lock).

#include <string>
#include <vector>

namespace linkmoor::test {

inline constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
inline constexpr char kPendingRenamesValue[] = "PendingFileRenameOperations";

// The strings of the REG_MULTI_SZ value in order: source, then target ("" for a deletion).
std::vector<std::string> ReadPendingRenames();
void ClearPendingRenames();
// "\??\" + path, the form Windows records.
std::string NtPath(const std::string& path);

}  // namespace linkmoor::test
