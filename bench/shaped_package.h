#pragma once
// A package shaped like the one the launcher ships: the same 26 entry names in the same order,
// about 19.2 MB of contents with the largest entry 3,709,800 bytes, made from real Windows
// binaries and texts found on this machine so that it compresses like the real one.

#include <map>
#include <string>

namespace linkmoor::bench {

// Builds the package and writes it to `output`. An entry named in `replacements` takes the
// contents of the file given for it instead (the test customer module as the GUI entries, for
// instance), at the same place in the order. Empty on success, else the reason.
std::string MakeShapedPackage(const std::string& output,
                              const std::map<std::string, std::string>& replacements = {});

}  // namespace linkmoor::bench
