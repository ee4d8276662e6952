// The launcher runs elevated from wherever the customer saved it. Before it loads any library at
// run time it restricts the DLL search to the system directory, so a DLL planted beside it under
// a system DLL's name is never loaded. This program stands in the folder of the planted copies,
// and Wine is told to prefer native DLLs for their names.

#include <gtest/gtest.h>

#include <string>

#include "launcher/entry.h"
#include "planted_libraries.h"
#include "program.h"
#include "whole_file.h"

namespace linkmoor::test {
namespace {

// Loads the library by bare name; returns where it came from and whether the planted copy ran.
std::string LoadByBareName(const PlantedLibrary& library, bool* plantedRan) {
    SetEnvironmentVariableA(library.variable, nullptr);
    HMODULE module = LoadLibraryA(library.file);
    *plantedRan = PlantedCopyRan(library);
    std::string path = module ? ModulePath(module) : std::string("<not loaded>");
    if (module) FreeLibrary(module);
    SetEnvironmentVariableA(library.variable, nullptr);
    return path;
}

// One ordered test: the restriction holds for the rest of the process once it is made.
TEST(DllSearchPath, RestrictedToTheSystemDirectoryBeforeAnyRunTimeLoad) {
    char system[MAX_PATH + 1] = {};
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);

    // Without the restriction a bare-name load takes the planted copy: the plant works.
    for (const PlantedLibrary& library : kPlantedLibraries) {
        SCOPED_TRACE(library.file);
        ASSERT_TRUE(PathExists(ProgramFolder() + "\\" + library.file));
        bool ran = false;
        EXPECT_EQ(LoadByBareName(library, &ran), ProgramFolder() + "\\" + library.file);
        EXPECT_TRUE(ran);
        ASSERT_EQ(GetModuleHandleA(library.file), nullptr);
    }

    RestrictDllSearchPath();

    for (const PlantedLibrary& library : kPlantedLibraries) {
        SCOPED_TRACE(library.file);
        bool ran = true;
        EXPECT_EQ(LoadByBareName(library, &ran), std::string(system) + "\\" + library.file);
        EXPECT_FALSE(ran);
    }
}

}  // namespace
}  // namespace linkmoor::test
