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

#include "diagnostics/unique_handle.h"
#include "package/packed_tools.h"

// windows.h maps these names to their ANSI calls; the engine's operations carry the plain names.
#undef CreateDirectory
#undef DeleteFile

namespace linkmoor {

class CSetupLogApi;

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

    bool Is64BitWindows();
    bool IsArm64Machine();
    bool IsWindows10OrNewer();

    // File operations. Creating ones throw CExceptionEx*, removing ones never throw.
    void CreateDirectory(const char* path);
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
    // ... entry-point slots, m_rebootRequired: defined by the engine's implementation.
};

}  // namespace linkmoor
