#pragma once
// This program's own file and folder, and other programs started and waited for.

#include <windows.h>

#include <string>

namespace linkmoor::test {

// The file a loaded module came from; by default that of this program.
std::string ModulePath(HMODULE module = nullptr);
// The folder of this program (the build tree's bin folder).
std::string ProgramFolder();

// Starts `exePath` with the command line `"exePath" arguments` and waits at most `timeoutMs`.
// Returns its exit code, or -1 when it could not be started or did not end in time (it is then
// ended).
int RunProgram(const std::string& exePath, const std::string& arguments, DWORD timeoutMs);

}  // namespace linkmoor::test
