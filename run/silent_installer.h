#pragma once
// The launcher's own installer: constructing it performs one whole customer-module run (engine
// set-up, banners, run folder, unpacking, launch and wait, clean-up). Errors leave the
// constructor as CExceptionEx*; after a failure the unpacked files stay on disk.

#include <windows.h>

#include <string>

#include "installer/installer.h"

namespace linkmoor {

// How many fresh names the run draws before it gives up on a run folder that it did not create
// itself (the name was taken, or planted by someone who predicted it).
inline constexpr int kRunFolderAttempts = 8;

class CSilentInstaller : public CInstaller {
public:
    CSilentInstaller(HANDLE logFile, const std::string& technicianId);
    ~CSilentInstaller() override;

private:
    // Creates a fresh run folder under a new name in the system's temp folder, protected, and
    // returns its path with `pin` holding it open.
    std::string CreateRunFolder(UniqueFile& pin);
    // Draws names in `parent` until a run folder is created there (true, its path in `path`).
    // All names taken throws 183. Any other failure throws as CreateDirectory does in the last
    // place; before it, the place is given up silently (false).
    bool CreateRunFolderIn(const std::string& parent, bool lastPlace, UniqueFile& pin,
                           std::string& path);
};

// The system's random numbers (RtlGenRandom), looked up at run time; false when the system has
// none to give.
bool FillWithSystemRandom(void* buffer, unsigned long size);

// Test seam: the run seeds the generator right before its first draw with the tick count mixed
// with the system's random numbers, so a run folder's name cannot be known in advance. A test
// that must know it (to plant a folder under it) fixes the seed here instead. The launcher never
// calls it.
void FixRunFolderSeedForTest(unsigned seed);

}  // namespace linkmoor
