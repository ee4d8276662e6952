#pragma once
// The installer engine: constructing it is the whole environment check of a run (log object,
// administrator rights, service control manager, Windows version, optional entry points, the
// package, the RunOnce key). Afterwards it answers the architecture and version queries, logs,
// hands out the package reader, and performs the file operations with their reboot fallback.

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "installer/log_lines.h"
#include "installer/windows_version.h"
#include "package/packed_tools.h"
#include "win32/unique_handle.h"

// windows.h maps these names to their ANSI calls; the engine's operations carry the plain names.
#undef CreateDirectory
#undef DeleteFile

namespace linkmoor {

class CSetupLogApi;

// Entry points resolved at run time (step 8 of construction). Only the kernel32 two are called.
using GetSystemWow64DirectoryAFn = UINT(WINAPI*)(LPSTR buffer, UINT size);
using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE process, USHORT* processMachine,
                                        USHORT* nativeMachine);
using MsiEnumPatchesExAFn = UINT(WINAPI*)(LPCSTR product, LPCSTR userSid, DWORD context,
                                          DWORD filter, DWORD index, LPSTR patchCode,
                                          LPSTR targetProductCode, int* targetContext,
                                          LPSTR targetUserSid, LPDWORD targetUserSidSize);
using MsiGetPatchInfoExAFn = UINT(WINAPI*)(LPCSTR patchCode, LPCSTR productCode, LPCSTR userSid,
                                           int context, LPCSTR property, LPSTR value,
                                           LPDWORD valueSize);
using DiUninstallDriverAFn = BOOL(WINAPI*)(HWND parent, LPCSTR infPath, DWORD flags,
                                           PBOOL needReboot);

class CInstaller {
public:
    // Byte-wise order of unsigned bytes, shorter key first: case-sensitive path keys.
    using PathMap = std::map<std::string, int32_t, CPackedTools::ByteLess>;
    using BackupMap = std::map<std::string, std::string, CPackedTools::ByteLess>;

    static constexpr int32_t kKindDirectory = 0;
    static constexpr int32_t kKindFile = 1;

    CInstaller(HANDLE logFile, bool openPackage, bool requireAdmin, bool refuse64BitSystem,
               bool captureSetupLog);
    virtual ~CInstaller();
    CInstaller(const CInstaller&) = delete;
    CInstaller& operator=(const CInstaller&) = delete;

    // One log line: message, argument (may be null), CR LF. Never fails its caller.
    void Log(const char* message, const char* argument);

    // Evaluated afresh on every call.
    bool Is64BitWindows();
    bool IsArm64Machine();
    bool IsWindows10OrNewer();

    // File operations. Creating ones throw CExceptionEx*, removing ones never throw.
    void CreateDirectory(const char* path);
    // CreateDirectory with the protected access list of win32/protected_folder.h, the new
    // directory opened in the same step: the handle keeps anyone from renaming, removing or
    // replacing it while it is held. Invalid when the directory existed already (which serves,
    // as for CreateDirectory, but is not protected and not the caller's).
    UniqueFile CreateProtectedDirectory(const char* path);
    // CreateProtectedDirectory for a directory that could also go elsewhere: where it is created,
    // or its name is taken, the same (logged; true, with `folder` invalid for a taken name); any
    // other failure is neither logged nor thrown: false, with its error as the last error.
    bool CreateProtectedDirectoryUnlessRefused(const char* path, UniqueFile& folder);
    void InstallFile(const char* name, const char* dir, const uint8_t* data, uint32_t size);
    void DeleteFile(const char* dir, const char* name);
    void DeleteDirectory(const char* path);
    void RemoveInstallFiles();

    // Declaration order gives the release order of a failed construction (reverse): service
    // manager, maps, log object, package reader.
    std::unique_ptr<CPackedTools> m_packedTools;
    std::unique_ptr<CSetupLogApi> m_log;
    PathMap m_installed;
    BackupMap m_backups;
    UniqueServiceManager m_scManager;
    GetSystemWow64DirectoryAFn m_getSystemWow64DirectoryA = nullptr;
    MsiEnumPatchesExAFn m_msiEnumPatchesExA = nullptr;
    MsiGetPatchInfoExAFn m_msiGetPatchInfoExA = nullptr;
    IsWow64Process2Fn m_isWow64Process2 = nullptr;
    RtlGetNtVersionNumbersFn m_rtlGetNtVersionNumbers = nullptr;
    DiUninstallDriverAFn m_diUninstallDriverA = nullptr;
    int32_t m_rebootRequired = 0;

protected:
    // Enters `path` in m_installed as a written file (insert, or overwrite the kind).
    void RecordInstalledPath(const std::string& path);
    // Copies dir\name to a fresh temporary name beside it and lists the pair in m_backups.
    void BackupExistingFile(const char* name, const char* dir);
    // A full path in `dir` that is free to be created (clock-based when Windows cannot help).
    std::string MakeTempName(const char* prefix, const char* dir);

private:
    // Writes the error line (when given) and throws module 19 / `line` / `error`.
    [[noreturn]] void Fail(uint16_t line, uint32_t error, const char* logLine);
    // After an attempt to create `path`: a created directory is recorded, an existing one
    // serves, any other failure throws 1045 with `error`.
    void TakeDirectoryOutcome(const char* path, bool created, DWORD error);
    bool IsAdministrator();
    void ResolveEntryPoints();
    void EnsureRunOnceKey();
    // SetEndOfFile, then one WriteFile of all bytes. False on a short write; the last error is
    // then the one the write left.
    static bool WriteWhole(HANDLE file, const uint8_t* data, uint32_t size);
};

}  // namespace linkmoor
