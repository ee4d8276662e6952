#pragma once
// A package shaped like the one the launcher ships: the same 26 entry names in the same order,
// about 19.2 MB of contents with the largest entry 3,709,800 bytes, made from real Windows
// binaries and texts found on this machine so that it compresses like the real one.

#include <string>

namespace linkmoor::bench {

// Builds the package and writes it to `output`. Empty on success, else the reason.
std::string MakeShapedPackage(const std::string& output);

}  // namespace linkmoor::bench
