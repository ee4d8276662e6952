// The launcher's resources read back from the built executable.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The executable under test, from the test's environment (a Windows path).
std::string LauncherPath() {
    const char* path = std::getenv("LINKMOOR_LAUNCHER_EXE");
    return path ? path : "";
}

class LauncherResources : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(LauncherPath().empty()) << "LINKMOOR_LAUNCHER_EXE is not set";
        m_module = LoadLibraryExA(LauncherPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(m_module, nullptr) << "error " << GetLastError();
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }

    std::string Resource(LPCSTR type, LPCSTR name) {
        HRSRC found = FindResourceA(m_module, name, type);
        if (!found) return std::string();
        HGLOBAL loaded = LoadResource(m_module, found);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return std::string(data, SizeofResource(m_module, found));
    }

    HMODULE m_module = nullptr;
};

// The processor the manifest names for the launcher and the common controls: the build's own.
#if defined(_WIN64)
constexpr char kOwnProcessor[] = "processorArchitecture=\"amd64\"";
#else
constexpr char kOwnProcessor[] = "processorArchitecture=\"x86\"";
#endif

TEST_F(LauncherResources, ManifestRequestsElevationAndListsSystems) {
    std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    for (const char* part : {
             "level=\"requireAdministrator\"", "uiAccess=\"false\"", "<dpiAware",
             "Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"",
             "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", kOwnProcessor}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(LauncherResources, IconGroupHoldsNineImagesAtThreeSizesAndDepths) {
    std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(128));  // IDR_MAINFRAME
    ASSERT_GE(group.size(), 6u);
    WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(count, 9);
    ASSERT_EQ(group.size(), 6u + count * sizeof(GroupIconEntry));
    std::set<std::pair<int, int>> seen;
    for (WORD i = 0; i < count; ++i) {
        const auto* entry =
            reinterpret_cast<const GroupIconEntry*>(group.data() + 6 + i * sizeof(GroupIconEntry));
        int size = entry->width ? entry->width : 256;
        seen.insert({size, entry->bitCount});
        // Each image is there under its id, with the size the group states, and loads.
        std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entry->id));
        EXPECT_EQ(image.size(), entry->bytes) << "image " << entry->id;
        HICON icon = CreateIconFromResourceEx(
            reinterpret_cast<BYTE*>(&image[0]), DWORD(image.size()), TRUE, 0x00030000, size,
            size, 0);
        EXPECT_NE(icon, nullptr) << "image " << entry->id;
        if (icon) DestroyIcon(icon);
    }
    std::set<std::pair<int, int>> expected;
    for (int size : {16, 32, 48}) {
        for (int bits : {4, 8, 32}) expected.insert({size, bits});
    }
    EXPECT_EQ(seen, expected);
}

std::string VersionString(const std::vector<char>& info, const char* name) {
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
    char* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "<missing>";
    }
    return std::string(value);
}

TEST_F(LauncherResources, VersionRecordNamesProductAndVersion) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(LauncherPath().c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(LauncherPath().c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000DD4u);  // 0.3540
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000DD4u);

    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "2.5.0.3540"},
        {"ProductVersion", "2.5.0.3540"},
        {"InternalName", "linkmoor-customer-module.exe"},
        {"OriginalFilename", "linkmoor-customer-module.exe"},
        {"ProductName", "Linkmoor Technician Edition - Customer Module"},
        {"FileDescription", "Linkmoor Technician Edition - Customer Module"},
        {"CompanyName", "Fernhollow LLC"},
    };
    for (const auto& [name, expected] : strings) {
        EXPECT_EQ(VersionString(info, name), expected) << name;
    }
}

}  // namespace
