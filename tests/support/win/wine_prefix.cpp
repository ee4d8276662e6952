#include "wine_prefix.h"

#include <cstdlib>
#include <string>

namespace linkmoor::test {

bool IsWin64Prefix() {
    const char* arch = std::getenv("LINKMOOR_WINE_ARCH");
    return arch && std::string(arch) == "win64";
}

}  // namespace linkmoor::test
