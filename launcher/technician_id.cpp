#include "launcher/technician_id.h"

#include <regex>

namespace linkmoor {

std::string TechnicianIdFromPath(const std::string& path) {
    // A search, not a whole-string match: the path's folders come before the file name.
    static const std::regex pattern(kTechnicianIdPattern, std::regex::ECMAScript);
    std::smatch match;
    if (!std::regex_search(path, match, pattern)) return std::string();
    return match[1].str();
}

}  // namespace linkmoor
