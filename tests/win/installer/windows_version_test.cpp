// The engine under the Windows versions Wine can report: the version is set per program through
// HKCU\Software\Wine\AppDefaults\<exe>\Version, then a probe program constructs the engine.

#include <gtest/gtest.h>

#include <string>

#include "program.h"
#include "scratch_folder.h"
#include "whole_file.h"
#include "windows_version_choice.h"

namespace linkmoor::test {
namespace {

constexpr char kProbe[] = "installer_version_probe.exe";

// The probe's output file, or what kept the probe from writing it.
std::string RunProbe(const std::string& output) {
    if (RunProgram(ProgramFolder() + "\\" + kProbe, "\"" + output + "\"", 60000) == -1)
        return "<not started or not ended>";
    return ReadFileBytes(output);
}

TEST(WindowsVersions, EngineConstructsOnEveryVersionWineReports) {
    const struct {
        const char* setting;
        const char* expected;
    } cases[] = {
        {"win2k", "5.0 sp4 ten=0 error=none"},
        {"winxp", "5.1 sp3 ten=0 error=none"},
        {"vista", "6.0 sp2 ten=0 error=none"},
        {"win7", "6.1 sp1 ten=0 error=none"},
        {"win81", "6.3 sp0 ten=0 error=none"},
        {"win10", "10.0 sp0 ten=1 error=none"},
    };
    CScratchFolder folder;
    CWindowsVersionChoice reported(kProbe);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        reported.Choose(c.setting);
        const std::string output = folder.Join(std::string(c.setting) + ".txt");
        EXPECT_EQ(RunProbe(output), c.expected);
    }
}

}  // namespace
}  // namespace linkmoor::test
