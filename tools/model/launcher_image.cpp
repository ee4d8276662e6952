// The launcher image in front of a package, checked the way Windows needs it to start a program.

#include "tools/model/launcher_image.h"

#include <cstdio>
#include <cstring>

#include "package/package_format.h"
#include "package/pe_headers.h"

namespace linkmoor::tools {

namespace {

using package::PeHeaders;

// The headers of a PE32 or PE32+ image up to and including the optional header's SizeOfHeaders
// (at the same offset in both).
constexpr size_t kMinimumOptionalSize = package::kSizeOfHeadersOffset + 4;

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", unsigned(value));
    return text;
}

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case 0x8664: return "x64";
        case 0xAA64: return "ARM64";
        case 0x01C4: return "32-bit ARM";
        case 0x0200: return "Itanium";
        default: return "machine " + Hex4(machine);
    }
}

std::string PrintableName(const char* name) {
    std::string out;
    for (const char* c = name; *c; ++c) out += (*c >= 0x20 && *c < 0x7F) ? *c : '?';
    return out;
}

std::string Where(uint64_t end, const char* endWord) {
    return "byte " + std::to_string(end) + ", where " + endWord;
}

}  // namespace

const char* MachineLabel(LauncherMachine machine) {
    switch (machine) {
        case LauncherMachine::kX86: return "x86";
        case LauncherMachine::kX64: return "x64";
        case LauncherMachine::kUnknown: break;
    }
    return nullptr;
}

std::string CompleteExecutableWords(LauncherMachine machine) {
    return machine == LauncherMachine::kX64 ? "complete 64-bit Windows executable"
                                            : "complete 32-bit Windows executable";
}

std::string WhyNotLauncherImage(const uint8_t* file, uint64_t end, const char* endWord,
                                uint64_t* imageEnd, LauncherMachine* machine) {
    const size_t size = size_t(end);
    const PeHeaders headers = package::ReadPeHeaders(file, size);
    switch (headers.stop) {
        case PeHeaders::Stop::kComplete: break;
        case PeHeaders::Stop::kNoDosHeader:
            if (size >= 4 && std::memcmp(file, "\x7F" "ELF", 4) == 0)
                return "it is an ELF file (a Linux or Unix program), not a Windows executable";
            if (size >= 2 && std::memcmp(file, "MZ", 2) == 0)
                return "its DOS header is cut short (" + Where(end, endWord) + ")";
            return "it does not start with 'MZ', as every Windows executable does";
        case PeHeaders::Stop::kPeOutsideFile:
            return "its PE header (at byte " + std::to_string(headers.peAt) + ") lies beyond " +
                   Where(end, endWord) + ": the executable is cut short";
        case PeHeaders::Stop::kNoPeSignature:
            return "there is no PE signature at byte " + std::to_string(headers.peAt) +
                   " (an MS-DOS program or damaged headers)";
        case PeHeaders::Stop::kUnknownMagic:
            return "its optional header is neither PE32 nor PE32+ (magic " + Hex4(headers.magic) + ")";
    }
    // The launcher ships as a 32-bit program; its 64-bit build runs the same code where no 32-bit
    // program can run. Each kind of optional header goes with its one machine.
    const bool wide = headers.magic == package::kPe32PlusMagic;
    if (machine)
        *machine = headers.machine == package::kMachineAmd64 || (wide && headers.machine != package::kMachineI386)
                       ? LauncherMachine::kX64
                       : LauncherMachine::kX86;
    if (!wide && headers.machine != package::kMachineI386)
        return "it is built for " + MachineName(headers.machine) + ", not for 32-bit x86";
    if (wide && headers.machine == package::kMachineI386)
        return "its optional header is the 64-bit kind (PE32+), but it is built for 32-bit x86";
    if (wide && headers.machine != package::kMachineAmd64)
        return "it is built for " + MachineName(headers.machine) + ", not for x64";
    if (headers.characteristics & package::kImageFileDll) return "it is a DLL, not a program";
    if (!(headers.characteristics & package::kImageFileExecutable))
        return "it is not marked as an executable image (an object file or a failed link)";
    if (headers.optionalSize < kMinimumOptionalSize ||
        !package::Fits(size, headers.optionalAt, headers.optionalSize))
        return "its optional header is cut short";
    if (headers.sectionCount == 0) return "it has no sections";
    const uint64_t tableEnd = headers.sectionTableAt + uint64_t(headers.sectionCount) * package::kSectionHeaderSize;
    if (tableEnd > end)
        return "its section table ends at byte " + std::to_string(tableEnd) + ", beyond " + Where(end, endWord) +
               ": the executable is cut short";
    const uint32_t headersSize = package::ReadLe32(file + headers.optionalAt + package::kSizeOfHeadersOffset);
    if (headersSize > end)
        return "its headers end at byte " + std::to_string(headersSize) + ", beyond " + Where(end, endWord) +
               ": the executable is cut short";
    uint64_t last = headersSize;
    for (uint16_t i = 0; i < headers.sectionCount; ++i) {
        package::PeSection section;
        package::ReadPeSection(file, size, headers, i, section);
        if (section.rawSize == 0) continue;  // uninitialised data only
        const uint64_t sectionEnd = uint64_t(section.rawAt) + section.rawSize;
        if (sectionEnd > end)
            return "its section '" + PrintableName(section.name) + "' holds raw data up to byte " +
                   std::to_string(sectionEnd) + ", beyond " + Where(end, endWord) +
                   ": the executable is cut short";
        if (sectionEnd > last) last = sectionEnd;
    }
    if (imageEnd) *imageEnd = last;
    return {};
}

Front FrontOf(const uint8_t* file, uint64_t packageAt) {
    Front front;
    if (packageAt == 0) return front;
    front.problem = WhyNotLauncherImage(file, packageAt, kPackageStarts, &front.imageEnd, &front.machine);
    front.kind = front.problem.empty() ? FrontKind::kLauncher : FrontKind::kNotLauncher;
    return front;
}

}  // namespace linkmoor::tools
