#pragma once
// Stand-ins planted beside a test program under the names of system DLLs the launcher loads at
// run time. Each stand-in sets an environment variable of the process when its DllMain runs.

#include <windows.h>

namespace linkmoor::test {

struct PlantedLibrary {
    const char* file;
    const char* variable;  // set by the planted copy when it runs
};

inline constexpr PlantedLibrary kPlantedLibraries[] = {{"msi.dll", "LINKMOOR_PLANTED_MSI"},
                                                       {"newdev.dll", "LINKMOOR_PLANTED_NEWDEV"}};

inline bool PlantedCopyRan(const PlantedLibrary& library) {
    char value[8] = {};
    return GetEnvironmentVariableA(library.variable, value, sizeof(value)) > 0;
}

}  // namespace linkmoor::test
