// The engine resolves entry points of msi.dll and newdev.dll. It runs elevated from wherever the
// customer saved it, so a DLL of either name beside it must never be loaded. The planted copies
// stand beside this program, and Wine is told to prefer native DLLs for both names.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "installer/installer.h"
#include "planted_libraries.h"
#include "program.h"
#include "whole_file.h"

namespace linkmoor::test {
namespace {

TEST(SystemLibraries, PlantedCopiesBesideTheProgramAreNeverLoaded) {
    // First show that the plant works: a bare-name load picks the copy beside the program.
    for (const PlantedLibrary& library : kPlantedLibraries) {
        SCOPED_TRACE(library.file);
        ASSERT_TRUE(PathExists(ProgramFolder() + "\\" + library.file));
        SetEnvironmentVariableA(library.variable, nullptr);
        HMODULE planted = LoadLibraryA(library.file);
        ASSERT_NE(planted, nullptr);
        EXPECT_TRUE(PlantedCopyRan(library));
        EXPECT_EQ(ModulePath(planted), ProgramFolder() + "\\" + library.file);
        FreeLibrary(planted);
        ASSERT_EQ(GetModuleHandleA(library.file), nullptr);
        SetEnvironmentVariableA(library.variable, nullptr);
    }

    CInstaller installer(INVALID_HANDLE_VALUE, false, true, false, false);

    char system[MAX_PATH + 1] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    for (const PlantedLibrary& library : kPlantedLibraries) {
        SCOPED_TRACE(library.file);
        EXPECT_FALSE(PlantedCopyRan(library));
        HMODULE loaded = GetModuleHandleA(library.file);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(ModulePath(loaded), std::string(system) + "\\" + library.file);
    }
    // The planted copies export nothing; the system's msi.dll carries both entry points.
    EXPECT_NE(installer.m_msiEnumPatchesExA, nullptr);
    EXPECT_NE(installer.m_msiGetPatchInfoExA, nullptr);
}

}  // namespace
}  // namespace linkmoor::test
