#pragma once
// What stands in front of a package: the launcher, a complete Windows executable image (32-bit
// x86, or 64-bit x64 for the launcher's test build), or nothing (a package file). Windows starts
// a file only when its headers are sound and every section's raw data is there; a package
// appended to anything else never runs.

#include <cstddef>
#include <cstdint>
#include <string>

namespace linkmoor::tools {

enum class FrontKind {
    kLauncher,     // a complete Windows executable image for x86 (PE32) or x64 (PE32+)
    kNone,         // the package starts the file: a package file
    kNotLauncher,  // bytes that are no complete 32-bit Windows executable image
};

// The kind of image a launcher is: PE32 for i386 or PE32+ for AMD64.
enum class LauncherMachine { kUnknown, kX86, kX64 };

// "x86", "x64", or null for kUnknown.
const char* MachineLabel(LauncherMachine machine);

// "complete 32-bit Windows executable", or its 64-bit form for an image with PE32+ headers.
std::string CompleteExecutableWords(LauncherMachine machine);

struct Front {
    FrontKind kind = FrontKind::kNone;
    std::string problem;    // for kNotLauncher: what is wrong, as a phrase
    uint64_t imageEnd = 0;  // for kLauncher: the end of the last section's raw data
    // For kLauncher, what it is built for; for kNotLauncher, what its headers claim (PE32: x86,
    // PE32+: x64), unknown when they are not read that far.
    LauncherMachine machine = LauncherMachine::kUnknown;
};

// Empty when the first `end` bytes of `file` hold a complete Windows program, 32-bit (PE32, i386)
// or 64-bit (PE32+, AMD64): sound headers and every section's raw data within them; otherwise
// what is wrong, such as "it does not start with 'MZ', as every Windows executable does". `end`
// is where the package starts (or the file's size); `endWord` names it ("the package starts",
// "the file ends"). `machine` gets the image's kind as soon as its headers name one.
std::string WhyNotLauncherImage(const uint8_t* file, uint64_t end, const char* endWord,
                                uint64_t* imageEnd = nullptr, LauncherMachine* machine = nullptr);

// The front of a file whose package header starts at `packageAt`.
Front FrontOf(const uint8_t* file, uint64_t packageAt);

inline constexpr char kPackageStarts[] = "the package starts";
inline constexpr char kFileEnds[] = "the file ends";

}  // namespace linkmoor::tools
