#pragma once
// The few system calls of the engine that tests replace to stand in for conditions Wine cannot
// produce: a token without the Administrators group, a failing service manager, an old Windows
// version or one a compatibility setting reports, a short write, a temporary file that cannot be created beside a file just copied, no
// memory for the log object or the package reader, a folder where administrators may not create
// a protected folder. Every entry
// defaults to the real call; nothing outside tests changes them.

#include <windows.h>

#include "installer/windows_version.h"
#include "win32/protected_folder.h"
#include "win32/unique_handle.h"

namespace linkmoor {

class CSetupLogApi;
class CPackedTools;

struct CInstallerSeams {
    decltype(&::GetTokenInformation) getTokenInformation = &::GetTokenInformation;
    decltype(&::OpenSCManagerA) openSCManager = &::OpenSCManagerA;
    decltype(&::GetVersionExA) getVersionEx = &::GetVersionExA;
    bool (*kernelVersionNumbers)(DWORD* major, DWORD* minor, DWORD* build) = &KernelVersionNumbers;
    decltype(&::WriteFile) writeFile = &::WriteFile;
    decltype(&::CreateFileA) createFile = &::CreateFileA;  // files the engine writes
    UniqueFile (*createProtectedFolder)(const char* path) = &CreateProtectedFolder;
    // Allocation of the log object and the package reader; null stands for no memory.
    CSetupLogApi* (*newLog)(HANDLE logFile) = &NewLog;
    CPackedTools* (*newReader)() = &NewReader;

    static CSetupLogApi* NewLog(HANDLE logFile);
    static CPackedTools* NewReader();
};

// The engine's one set of seams.
CInstallerSeams& InstallerSeams();

}  // namespace linkmoor
