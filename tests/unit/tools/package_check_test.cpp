// The check report: every machine's run looked up in a loaded package, with errors, warnings,
// unused entries, the summary and the exit code.

#include "tools/model/package_check.h"

#include "tools/model/launcher_memory.h"

#include "package/package_writer.h"
#include "package/packed_tools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace linkmoor::tools {
namespace {

// The 26 entries of a complete package, in stored order.
const std::vector<std::string> kCompletePackage = {
    "linkmoortechcsrv.exe.arm64", "linkmoortechcsrv.exe.amd64", "linkmoortechcsrv.exe.x86",
    "linkmoor-customer-module-gui.exe.arm64", "linkmoor-customer-module-gui.exe.amd64",
    "linkmoor-customer-module-gui.exe.x86", "linkmoor-customer-module-gui.dll",
    "libcrypto.dll.arm64", "libcrypto.dll.amd64", "libcrypto.dll.x86",
    "libssl.dll.arm64", "libssl.dll.amd64", "libssl.dll.x86", "openssl-license.txt",
    "qorvusbd.sys.arm64", "qorvusbd.sys.amd64", "qorvusbd.sys.x86", "qorvusbd.inf",
    "qorvusbd.cat", "qorvusbd.cat.v7", "qorvpnptls.sys.arm64", "qorvpnptls.sys.amd64",
    "qorvpnptls.sys.x86", "qorvpnptls.inf", "qorvpnptls.cat", "qorvpnptls.cat.v7",
};

std::vector<std::string> Without(std::vector<std::string> names, const std::string& part) {
    names.erase(std::remove_if(names.begin(), names.end(),
                               [&](const std::string& n) { return n.find(part) != std::string::npos; }),
                names.end());
    return names;
}

std::vector<std::string> With(std::vector<std::string> names, std::vector<std::string> extra) {
    names.insert(names.end(), extra.begin(), extra.end());
    return names;
}

struct Report {
    CheckCounts counts;
    std::vector<std::string> lines;
    std::string summary;
    int exitCode;

    size_t CountStarting(const std::string& start) const {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(start, 0) == 0; });
    }
    size_t CountHolding(const std::string& part) const {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    bool Has(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
};

Report CheckOf(const std::vector<std::string>& names) {
    std::vector<package::PackageInput> inputs;
    for (const std::string& name : names) inputs.push_back({name, std::vector<uint8_t>(name.begin(), name.end())});
    package::WriteResult package = package::BuildPackage(inputs, 0x33);
    EXPECT_TRUE(package.ok) << package.error;
    CPackedTools reader;
    EXPECT_EQ(reader.LoadBytes(package.bytes.data(), uint32_t(package.bytes.size()), 0), 1);

    std::ostringstream out;
    Report report;
    const CheckResult result = CheckPackage(reader);
    WriteCheckReport(result, out);
    report.counts = result.counts;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) report.lines.push_back(line);
    report.summary = CheckSummary(report.counts);
    report.exitCode = CheckExitCode(report.counts);
    return report;
}

const std::string kStop = ": the launcher would stop with the installation error Module: 0 Line 394 on this machine";

TEST(PackageCheck, CompletePackageRunsEverywhereAndNamesEveryFile) {
    Report report = CheckOf(kCompletePackage);
    EXPECT_EQ(report.exitCode, 0);
    EXPECT_EQ(report.summary, "check passed: every machine runs (errors 0, warnings 0, unused 3)");
    EXPECT_EQ(report.lines.size(), 6u * 10u + 3u);
    EXPECT_EQ(report.CountHolding(" unpack "), 60u);
    // Spot checks of the naming rules per architecture and Windows generation.
    for (const char* line : {
             "x86 win10+ unpack linkmoor-customer-module-gui.dll -> linkmoor-customer-module-gui.dll",
             "x86 win10+ unpack qorvusbd.sys.x86 -> x86\\qorvusbd.sys",
             "x86 win10+ unpack libcrypto.dll.x86 -> libcrypto-3.dll",
             "x86 win-older unpack qorvusbd.cat.v7 -> qorvusbd.cat",
             "amd64 win10+ unpack qorvusbd.cat -> qorvusbd.cat",
             "amd64 win-older unpack qorvpnptls.sys.amd64 -> amd64\\qorvpnptls.sys",
             "amd64 win10+ unpack libssl.dll.amd64 -> libssl-3-x64.dll",
             "arm64 win10+ unpack linkmoor-customer-module-gui.exe.arm64 -> linkmoor-customer-module-gui.exe",
             "arm64 win-older unpack libcrypto.dll.arm64 -> libcrypto-3-arm64.dll",
         })
        EXPECT_TRUE(report.Has(line)) << line;
    // The machines come in a fixed order, each in the order its run writes the files.
    EXPECT_EQ(report.lines[0], "x86 win10+ unpack linkmoor-customer-module-gui.dll -> linkmoor-customer-module-gui.dll");
    EXPECT_EQ(report.lines[59], "arm64 win-older unpack libssl.dll.arm64 -> libssl-3-arm64.dll");
    // Entries no run asks for, in the reader's index order.
    EXPECT_EQ(std::vector<std::string>(report.lines.end() - 3, report.lines.end()),
              (std::vector<std::string>{"unused qorvpnptls.cat", "unused qorvpnptls.cat.v7", "unused qorvpnptls.inf"}));
}

TEST(PackageCheck, IncompletePackagesFailTheMachinesThatNeedTheMissingEntries) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        CheckCounts counts;  // machines, failing, errors, warnings, unused
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"older catalogue missing", Without(kCompletePackage, "qorvusbd.cat.v7"), {6, 3, 3, 0, 3},
         {"x86 win-older error: missing qorvusbd.cat.v7 for qorvusbd.cat" + kStop,
          "amd64 win-older error: missing qorvusbd.cat.v7 for qorvusbd.cat" + kStop,
          "arm64 win-older error: missing qorvusbd.cat.v7 for qorvusbd.cat" + kStop,
          // What follows the stop is never written on that machine.
          "x86 win-older not reached qorvusbd.inf -> qorvusbd.inf",
          "x86 win10+ unpack qorvusbd.cat -> qorvusbd.cat"}},
        // One error per stopping machine: later files, missing ones included, are not reached.
        {"arm64 entries missing", Without(kCompletePackage, ".arm64"), {6, 2, 2, 0, 3},
         {"arm64 win10+ error: missing linkmoor-customer-module-gui.exe.arm64 for linkmoor-customer-module-gui.exe" +
              kStop,
          "arm64 win10+ not reached qorvusbd.sys.arm64 -> arm64\\qorvusbd.sys",
          "arm64 win-older not reached libssl.dll.arm64 -> libssl-3-arm64.dll",
          "amd64 win-older unpack linkmoortechcsrv.exe.amd64 -> linkmoortechcsrv.exe"}},
        {"OpenSSL missing: warnings only", Without(Without(kCompletePackage, "libcrypto"), "libssl."), {6, 0, 0, 12, 3},
         {"x86 win10+ warning: missing libcrypto.dll.x86: the optional OpenSSL library libcrypto-3.dll is not written",
          "amd64 win-older warning: missing libssl.dll.amd64: the optional OpenSSL library libssl-3-x64.dll is not "
          "written",
          "x86 win10+ unpack openssl-license.txt -> openssl-license.txt"}},
        // Names are exact: an entry differing in letter case is unused and does not stand in.
        {"extra entries", With(Without(kCompletePackage, "qorvusbd.inf"), {"Qorvusbd.inf", "readme.txt"}),
         {6, 6, 6, 0, 5},
         {"unused Qorvusbd.inf", "unused readme.txt", "x86 win10+ error: missing qorvusbd.inf for qorvusbd.inf" + kStop}},
        {"empty package", {}, {6, 6, 6, 0, 0},
         {"x86 win10+ error: missing linkmoor-customer-module-gui.dll for linkmoor-customer-module-gui.dll" + kStop}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Report report = CheckOf(c.names);
        EXPECT_EQ(report.counts.machines, c.counts.machines);
        EXPECT_EQ(report.counts.failingMachines, c.counts.failingMachines);
        EXPECT_EQ(report.counts.errors, c.counts.errors);
        EXPECT_EQ(report.counts.warnings, c.counts.warnings);
        EXPECT_EQ(report.counts.unused, c.counts.unused);
        // Every count is one line of its kind.
        EXPECT_EQ(report.CountHolding(" error: "), size_t(c.counts.errors));
        EXPECT_EQ(report.CountHolding(" warning: "), size_t(c.counts.warnings));
        EXPECT_EQ(report.CountStarting("unused "), size_t(c.counts.unused));
        for (const std::string& line : c.lines) EXPECT_TRUE(report.Has(line)) << line;
        EXPECT_EQ(report.exitCode, c.counts.failingMachines ? kExitMachineFails : 0);
    }
}

TEST(PackageCheck, SummaryCountsMachinesAndFindings) {
    CheckCounts failing{6, 2, 8, 4, 3};
    EXPECT_EQ(CheckSummary(failing), "check failed: 2 of 6 machines would stop (errors 8, warnings 4, unused 3)");
    EXPECT_EQ(CheckExitCode(failing), 5);
    CheckCounts passing{6, 0, 0, 12, 0};
    EXPECT_EQ(CheckSummary(passing), "check passed: every machine runs (errors 0, warnings 12, unused 0)");
    EXPECT_EQ(CheckExitCode(passing), 0);
}

TEST(LauncherMemory, WarnsAboveTheMeasuredLimitOnly) {
    const MemoryNeed atLimit{kLauncherMemoryLimit - 300, 200, 100};
    EXPECT_EQ(MemoryWarning(atLimit, "x"), "");
    const MemoryNeed over{700u << 20, 600u << 20, 300u << 20};
    EXPECT_EQ(MemoryWarning(over, "'big.exe'"),
              "warning: 'big.exe' needs about 1600 MiB of memory at once when it opens its package (the file 700 MiB, "
              "the contents 600 MiB, the largest entry 300 MiB once more), more than the 1536 MiB the 32-bit launcher "
              "is known to hold: it may stop with \"Not enough system resourses to complete the installation.\"");
}

}  // namespace
}  // namespace linkmoor::tools
