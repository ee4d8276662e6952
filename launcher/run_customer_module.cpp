// The shipped run step: one CSilentInstaller, constructed (the whole run) and destroyed at once.
#include "launcher/entry.h"
#include "run/silent_installer.h"

namespace linkmoor {

void RunCustomerModule(HANDLE logFile, const std::string& technicianId) {
    CSilentInstaller run(logFile, technicianId);
}

}  // namespace linkmoor
