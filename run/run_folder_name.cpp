#include "run/run_folder_name.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace linkmoor {

void DrawRunFolderName(char (&name)[kRunFolderNameBuffer]) {
    std::memset(name, 0, sizeof(name));
    for (int i = 0; i < kRunFolderNameDraws; ++i) {
        const int r = std::rand() % 16 + 1;
        std::snprintf(name + i, sizeof(name) - i, "%x", r);
    }
}

}  // namespace linkmoor
