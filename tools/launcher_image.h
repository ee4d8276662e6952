#pragma once
// What stands in front of a package: the launcher, a complete 32-bit Windows executable image,
// or nothing (a package file). Windows starts a file only when its headers are sound and every
// section's raw data is there; a package appended to anything else never runs.

#include <cstddef>
#include <cstdint>
#include <string>

namespace linkmoor::tools {

enum class FrontKind {
    kLauncher,     // a complete 32-bit Windows executable image
    kNone,         // the package starts the file: a package file
    kNotLauncher,  // bytes that are no complete 32-bit Windows executable image
};

struct Front {
    FrontKind kind = FrontKind::kNone;
    std::string problem;    // for kNotLauncher: what is wrong, as a phrase
    uint64_t imageEnd = 0;  // for kLauncher: the end of the last section's raw data
};

// Empty when the first `end` bytes of `file` hold a complete 32-bit (PE32, i386) Windows program:
// sound headers and every section's raw data within them; otherwise what is wrong, such as
// "it does not start with 'MZ', as every Windows executable does". `end` is where the package
// starts (or the file's size); `endWord` names it ("the package starts", "the file ends").
std::string WhyNotLauncherImage(const uint8_t* file, uint64_t end, const char* endWord,
                                uint64_t* imageEnd = nullptr);

// The front of a file whose package header starts at `packageAt`.
Front FrontOf(const uint8_t* file, uint64_t packageAt);

inline constexpr char kPackageStarts[] = "the package starts";
inline constexpr char kFileEnds[] = "the file ends";

}  // namespace linkmoor::tools
