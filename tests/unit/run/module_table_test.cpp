// The naming rules of a run, checked against the files one run unpacks on each architecture and
// Windows generation, spelled out in full.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "run/architecture.h"
#include "run/module_table.h"

namespace linkmoor {
namespace {

TEST(ArchitectureTest, ClassifiesFromTheTwoQueries) {
    struct Case {
        bool is64;
        bool arm64;
        Architecture expected;
    } cases[] = {
        {false, false, Architecture::X86},
        // A 32-bit system on an ARM64 machine is still X86: the machine query only counts on
        // 64-bit Windows.
        {false, true, Architecture::X86},
        {true, false, Architecture::Amd64},
        {true, true, Architecture::Arm64},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyArchitecture(c.is64, c.arm64), c.expected) << c.is64 << c.arm64;
}

TEST(ArchitectureTest, EveryFormOfEachArchitecture) {
    struct Case {
        Architecture architecture;
        const char* folder;
        const char* subfolderPart;
        const char* targetPrefix;
        const char* packageSuffix;
        const char* cryptoPackageSuffix;
        const char* cryptoFileEnding;
        const char* logLabel;
    } cases[] = {
        {Architecture::X86, "x86", "\\x86", "x86\\", ".x86", ".dll.x86", ".dll", "x86"},
        {Architecture::Amd64, "amd64", "\\amd64", "amd64\\", ".amd64", ".dll.amd64", "-x64.dll",
         "x64"},
        {Architecture::Arm64, "arm64", "\\arm64", "arm64\\", ".arm64", ".dll.arm64",
         "-arm64.dll", "arm64"},
    };
    for (const Case& c : cases) {
        const ArchitectureNames& n = NamesOf(c.architecture);
        SCOPED_TRACE(c.folder);
        EXPECT_STREQ(n.folder, c.folder);
        EXPECT_STREQ(n.subfolderPart, c.subfolderPart);
        EXPECT_STREQ(n.targetPrefix, c.targetPrefix);
        EXPECT_STREQ(n.packageSuffix, c.packageSuffix);
        EXPECT_STREQ(n.cryptoPackageSuffix, c.cryptoPackageSuffix);
        EXPECT_STREQ(n.cryptoFileEnding, c.cryptoFileEnding);
        EXPECT_STREQ(n.logLabel, c.logLabel);
    }
}

struct RunCase {
    Architecture architecture;
    bool windows10;
    std::vector<std::pair<std::string, std::string>> files;  // entry, target
};

std::vector<RunCase> RunCases() {
    std::vector<RunCase> cases;
    for (bool windows10 : {true, false}) {
        const std::string cat = windows10 ? "qorvusbd.cat" : "qorvusbd.cat.v7";
        cases.push_back({Architecture::X86, windows10, {
            {"linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"},
            {"linkmoor-customer-module-gui.exe.x86", "linkmoor-customer-module-gui.exe"},
            {"linkmoortechcsrv.exe.x86", "linkmoortechcsrv.exe"},
            {cat, "qorvusbd.cat"},
            {"qorvusbd.inf", "qorvusbd.inf"},
            {"qorvusbd.sys.x86", "x86\\qorvusbd.sys"},
            {"qorvpnptls.sys.x86", "x86\\qorvpnptls.sys"},
            {"openssl-license.txt", "openssl-license.txt"},
            {"libcrypto.dll.x86", "libcrypto-3.dll"},
            {"libssl.dll.x86", "libssl-3.dll"},
        }});
        cases.push_back({Architecture::Amd64, windows10, {
            {"linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"},
            {"linkmoor-customer-module-gui.exe.amd64", "linkmoor-customer-module-gui.exe"},
            {"linkmoortechcsrv.exe.amd64", "linkmoortechcsrv.exe"},
            {cat, "qorvusbd.cat"},
            {"qorvusbd.inf", "qorvusbd.inf"},
            {"qorvusbd.sys.amd64", "amd64\\qorvusbd.sys"},
            {"qorvpnptls.sys.amd64", "amd64\\qorvpnptls.sys"},
            {"openssl-license.txt", "openssl-license.txt"},
            {"libcrypto.dll.amd64", "libcrypto-3-x64.dll"},
            {"libssl.dll.amd64", "libssl-3-x64.dll"},
        }});
        cases.push_back({Architecture::Arm64, windows10, {
            {"linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"},
            {"linkmoor-customer-module-gui.exe.arm64", "linkmoor-customer-module-gui.exe"},
            {"linkmoortechcsrv.exe.arm64", "linkmoortechcsrv.exe"},
            {cat, "qorvusbd.cat"},
            {"qorvusbd.inf", "qorvusbd.inf"},
            {"qorvusbd.sys.arm64", "arm64\\qorvusbd.sys"},
            {"qorvpnptls.sys.arm64", "arm64\\qorvpnptls.sys"},
            {"openssl-license.txt", "openssl-license.txt"},
            {"libcrypto.dll.arm64", "libcrypto-3-arm64.dll"},
            {"libssl.dll.arm64", "libssl-3-arm64.dll"},
        }});
    }
    return cases;
}

TEST(ModuleTableTest, TheTenFilesOfARunPerArchitectureAndWindowsGeneration) {
    for (const RunCase& c : RunCases()) {
        SCOPED_TRACE(std::string(NamesOf(c.architecture).folder) +
                     (c.windows10 ? " Windows 10" : " before Windows 10"));
        const std::vector<RunFile> files = RunFiles(c.architecture, c.windows10);
        ASSERT_EQ(files.size(), c.files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(files[i].entry, c.files[i].first) << "step " << i + 1;
            EXPECT_EQ(files[i].target, c.files[i].second) << "step " << i + 1;
            // Steps 9 and 10, the OpenSSL libraries, are the only optional ones.
            EXPECT_EQ(files[i].optional, i >= 8) << "step " << i + 1;
        }
    }
}

TEST(ModuleTableTest, RulesOfOneRowCombine) {
    // Rows that are not in the table, to show the flags act independently: a catalogue that is
    // also architecture-specific takes both suffixes, and a sub-folder without archSpecific is
    // ignored.
    const ModuleEntry both{"a.cat", true, false, true};
    EXPECT_EQ(PackageEntryName(both, Architecture::Arm64, false), "a.cat.arm64.v7");
    EXPECT_EQ(PackageEntryName(both, Architecture::Arm64, true), "a.cat.arm64");
    EXPECT_EQ(TargetName(both, Architecture::Arm64), "a.cat");

    const ModuleEntry subfolderOnly{"b.sys", false, true, false};
    EXPECT_EQ(PackageEntryName(subfolderOnly, Architecture::X86, true), "b.sys");
    EXPECT_EQ(TargetName(subfolderOnly, Architecture::X86), "b.sys");
}

TEST(ModuleTableTest, ThePackageAnswersEveryRunOfEveryMachine) {
    // The launcher's package holds exactly the 23 entries the runs can ask for: the union over
    // all architectures and both Windows generations.
    std::vector<std::string> entries;
    for (Architecture a : kArchitectures)
        for (bool windows10 : {true, false})
            for (const RunFile& f : RunFiles(a, windows10))
                if (std::find(entries.begin(), entries.end(), f.entry) == entries.end())
                    entries.push_back(f.entry);
    EXPECT_EQ(entries.size(), 23u);
}

}  // namespace
}  // namespace linkmoor
