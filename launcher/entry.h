#pragma once
// The launcher's start-up flow: the Windows version gate with its legacy notice, the technician
// identifier from the file name, the work folder, the log file, one customer-module run and the
// message box for whatever ends the run.

#include <windows.h>

#include <string>

#include "diagnostics/error_messages.h"
#include "diagnostics/log_file.h"

namespace linkmoor {

// One customer-module run with the log handle and the identifier. The run chooses where its run
// folder goes: never in the work folder, which the user's own programs may control.
using RunStep = void (*)(HANDLE logFile, const std::string& technicianId);

// The run the shipped launcher performs: a CSilentInstaller constructed and destroyed at once.
void RunCustomerModule(HANDLE logFile, const std::string& technicianId);

// The whole start-up flow with `run` as its run step; always 0. Tests pass a run step of their
// own to raise the failures that a real run cannot be brought to raise under Wine.
int LauncherMain(RunStep run);

// Renames the legacy notice's Yes and No buttons each time the box is activated.
LRESULT CALLBACK LegacyDialogHook(int code, WPARAM wParam, LPARAM lParam);

// Libraries loaded at run time come from the system directory only, never from the launcher's
// own (download) folder. Resolved at run time: the call exists from Windows 8 and on Windows 7
// and Vista with the update that added it; without it nothing changes.
void RestrictDllSearchPath();

}  // namespace linkmoor
