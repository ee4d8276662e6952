// The engine under the Windows versions Wine can report: the version is set per program through
// HKCU\Software\Wine\AppDefaults\<exe>\Version, then a probe program constructs the engine.

#include <gtest/gtest.h>

#include <string>

#include "installer_test_support.h"

namespace linkmoor::test {
namespace {

constexpr char kProbe[] = "installer_version_probe.exe";
constexpr char kAppDefaultsKey[] =
    "Software\\Wine\\AppDefaults\\installer_version_probe.exe";

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\'));
}

// Sets the version Wine reports to the probe for the life of the object, then puts back what
// was there before.
class CReportedVersion {
public:
    CReportedVersion() {
        RegCreateKeyExA(HKEY_CURRENT_USER, kAppDefaultsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &m_key, &m_disposition);
        char value[64] = {};
        DWORD size = sizeof(value) - 1;
        m_hadValue = RegQueryValueExA(m_key, "Version", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
        m_saved = value;
    }
    ~CReportedVersion() {
        if (m_hadValue) {
            RegSetValueExA(m_key, "Version", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(m_saved.c_str()),
                           DWORD(m_saved.size() + 1));
        } else {
            RegDeleteValueA(m_key, "Version");
        }
        RegCloseKey(m_key);
        if (m_disposition == REG_CREATED_NEW_KEY) RegDeleteKeyA(HKEY_CURRENT_USER, kAppDefaultsKey);
    }
    void Set(const char* version) {
        RegSetValueExA(m_key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                       DWORD(strlen(version) + 1));
    }

private:
    HKEY m_key = nullptr;
    DWORD m_disposition = 0;
    bool m_hadValue = false;
    std::string m_saved;
};

std::string RunProbe(const std::string& output) {
    std::string command = "\"" + ProgramFolder() + "\\" + kProbe + "\" \"" + output + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return "<not started>";
    }
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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
    CTempFolder folder;
    CReportedVersion reported;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        reported.Set(c.setting);
        const std::string output = folder.Join(std::string(c.setting) + ".txt");
        EXPECT_EQ(RunProbe(output), c.expected);
    }
}

}  // namespace
}  // namespace linkmoor::test
