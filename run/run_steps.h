#pragma once
// The steps of a customer-module run that work through the installer engine: unpacking the
// module table and the OpenSSL libraries for this machine, and starting the customer module.
// They take the engine as an argument, so a test can drive one step over an engine of its own.

#include <windows.h>

#include <string>

#include "installer/installer.h"
#include "run/architecture.h"

namespace linkmoor {

// Asked afresh at every use, never cached.
Architecture CurrentArchitecture(CInstaller& engine);

// Creates the architecture sub-folder of `runFolder` and writes the module table's files.
// A missing table entry throws module 0, line 394 with the thread's last error as it stands.
void UnpackModules(CInstaller& engine, const char* runFolder);

// Writes one OpenSSL library when the package holds it; a missing entry is passed over silently.
void UnpackCryptoLibrary(CInstaller& engine, const char* runFolder, const char* packageBase,
                         const char* fileBase);

// Starts the customer module from `runFolder` with the log as its standard error and the
// environment of run/module_environment.h, waits for its end and a further pause. A start
// refused while security software holds the file is tried again for about 30 seconds. Throws
// module 0, line 168 (with identifier) or 186 (without), with the last attempt's error.
void LaunchCustomerModule(CInstaller& engine, HANDLE logFile, const char* runFolder,
                          const std::string& technicianId);

// How long the launch waits out a hold on the customer module's file, in all.
inline constexpr DWORD kLaunchRetryBoundMs = 30000;

// Test seam: a shorter bound than kLaunchRetryBoundMs. The launcher never calls it.
void SetLaunchRetryBoundForTest(DWORD totalMs);

}  // namespace linkmoor
