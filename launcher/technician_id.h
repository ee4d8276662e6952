#pragma once
// The technician identifier travels in the launcher's own file name: "10" and ten more digits,
// directly before a lower-case ".exe", at the start of the file name or after an underscore.

#include <string>

namespace linkmoor {

// The expression searched in the launcher's full path; capture group 1 is the identifier.
inline constexpr char kTechnicianIdPattern[] = R"((?:\\|.*_|^)(10[0-9]{10})\.exe$)";

// The identifier found in `path`, or an empty string.
std::string TechnicianIdFromPath(const std::string& path);

}  // namespace linkmoor
