// Contents for the shaped package: Wine's own Windows DLLs (32-bit ones for the x86 entries,
// 64-bit ones for the others) and licence texts, concatenated and cut to each entry's size.

#include "bench/shaped_package.h"

#include "package/package_writer.h"
#include "tools/cli/pack_commands.h"
#include "tools/files/file_io.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace linkmoor::bench {
namespace {

namespace fs = std::filesystem;

constexpr char kX86Binaries[] = "/usr/lib/i386-linux-gnu/wine/i386-windows";
constexpr char kX64Binaries[] = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
constexpr char kTexts[] = "/usr/share/common-licenses";

enum class Source { kX86, kX64, kText };

struct ShapedEntry {
    const char* name;
    size_t size;
    Source source;
};

// Sizes add up to 19,247,263 bytes, the contents of the shipped package.
const ShapedEntry kEntries[] = {
    {"linkmoortechcsrv.exe.arm64", 1310000, Source::kX64},
    {"linkmoortechcsrv.exe.amd64", 1250000, Source::kX64},
    {"linkmoortechcsrv.exe.x86", 1050000, Source::kX86},
    {"linkmoor-customer-module-gui.exe.arm64", 420000, Source::kX64},
    {"linkmoor-customer-module-gui.exe.amd64", 400000, Source::kX64},
    {"linkmoor-customer-module-gui.exe.x86", 350000, Source::kX86},
    {"linkmoor-customer-module-gui.dll", 1753463, Source::kX86},
    {"libcrypto.dll.arm64", 3500000, Source::kX64},
    {"libcrypto.dll.amd64", 3709800, Source::kX64},
    {"libcrypto.dll.x86", 2900000, Source::kX86},
    {"libssl.dll.arm64", 700000, Source::kX64},
    {"libssl.dll.amd64", 720000, Source::kX64},
    {"libssl.dll.x86", 640000, Source::kX86},
    {"openssl-license.txt", 10000, Source::kText},
    {"qorvusbd.sys.arm64", 120000, Source::kX64},
    {"qorvusbd.sys.amd64", 110000, Source::kX64},
    {"qorvusbd.sys.x86", 90000, Source::kX86},
    {"qorvusbd.inf", 6000, Source::kText},
    {"qorvusbd.cat", 12000, Source::kX64},
    {"qorvusbd.cat.v7", 12000, Source::kX86},
    {"qorvpnptls.sys.arm64", 60000, Source::kX64},
    {"qorvpnptls.sys.amd64", 55000, Source::kX64},
    {"qorvpnptls.sys.x86", 45000, Source::kX86},
    {"qorvpnptls.inf", 4000, Source::kText},
    {"qorvpnptls.cat", 10000, Source::kX64},
    {"qorvpnptls.cat.v7", 10000, Source::kX86},
};

std::vector<std::string> SortedFiles(const char* folder, bool binariesOnly) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder, error)) {
        if (!item.is_regular_file()) continue;
        std::string ext = item.path().extension().string();
        if (binariesOnly && ext != ".dll" && ext != ".exe" && ext != ".sys") continue;
        files.push_back(item.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Whole files from `files`, starting at `first` and wrapping around, until `size` bytes.
std::string Fill(const std::vector<std::string>& files, size_t first, size_t size, std::vector<uint8_t>& out) {
    out.clear();
    for (size_t i = 0; out.size() < size; ++i) {
        if (i == files.size()) return "not enough source files";
        std::vector<uint8_t> bytes;
        std::string error = tools::ReadWholeFile(files[(first + i) % files.size()], bytes);
        if (!error.empty()) return error;
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out.resize(size);
    return {};
}

}  // namespace

std::string MakeShapedPackage(const std::string& output, const std::map<std::string, std::string>& replacements) {
    const std::vector<std::string> x86 = SortedFiles(kX86Binaries, true);
    const std::vector<std::string> x64 = SortedFiles(kX64Binaries, true);
    const std::vector<std::string> texts = SortedFiles(kTexts, false);
    if (x86.empty() || x64.empty() || texts.empty())
        return std::string("no source files under ") + kX86Binaries + ", " + kX64Binaries + " or " + kTexts;

    std::vector<package::PackageInput> entries;
    size_t index = 0;
    for (const ShapedEntry& shaped : kEntries) {
        const std::vector<std::string>& files =
            shaped.source == Source::kX86 ? x86 : shaped.source == Source::kX64 ? x64 : texts;
        package::PackageInput entry;
        entry.name = shaped.name;
        // Different entries start at different files, so no two share their contents.
        std::string error = Fill(files, (index++ * 37) % files.size(), shaped.size, entry.contents);
        auto replacement = replacements.find(shaped.name);
        if (error.empty() && replacement != replacements.end())
            error = tools::ReadWholeFile(replacement->second, entry.contents);
        if (!error.empty()) return error;
        entries.push_back(std::move(entry));
    }
    package::WriteResult package = package::BuildPackage(entries, tools::DefaultKeyByte(entries));
    if (!package.ok) return package.error;
    return tools::WriteFileWhole(output, {{package.bytes.data(), package.bytes.size()}}, true);
}

}  // namespace linkmoor::bench
