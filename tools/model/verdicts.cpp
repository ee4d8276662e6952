// The reader's status in words and as the tool's exit code.

#include "tools/model/verdicts.h"

#include "package/packed_tools.h"

namespace linkmoor::tools {

const char* VerdictOf(int32_t status) {
    switch (status) {
        case kPackageOk: return kVerdictValid;
        case kPackageDamaged: return kVerdictDamaged;
        case kPackageNotRead: return kVerdictNotRead;
        case kPackageNoMemory: return kVerdictNoMemory;
        default: return kVerdictUnknown;
    }
}

int ExitCodeOf(int32_t status) {
    switch (status) {
        case kPackageOk: return kExitValid;
        case kPackageDamaged: return kExitDamaged;
        case kPackageNotRead: return kExitNotRead;
        case kPackageNoMemory: return kExitNoMemory;
        default: return kExitUnknownStatus;
    }
}

}  // namespace linkmoor::tools
