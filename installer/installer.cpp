// Construction (the environment check of a run), teardown and logging of the installer engine.

#include "installer/installer.h"

#include <cstdlib>
#include <new>
#include <string>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "diagnostics/seh_guard.h"
#include "diagnostics/setup_log_api.h"
#include "installer/installer_seams.h"
#include "installer/windows_version.h"
#include "package/own_image.h"

namespace linkmoor {

CSetupLogApi* CInstallerSeams::NewLog(HANDLE logFile) {
    return new (std::nothrow) CSetupLogApi(logFile);
}

CPackedTools* CInstallerSeams::NewReader() { return new (std::nothrow) CPackedTools(); }

CInstallerSeams& InstallerSeams() {
    static CInstallerSeams seams;
    return seams;
}

namespace {

[[noreturn]] void ThrowPackageError(int32_t status) {
    throw new CExceptionEx(raising::StatusHigh(status), raising::StatusLow(status),
                           raising::kErrorPackage);
}

}  // namespace

// A failed construction releases what it acquired through the members' destructors, in reverse
// declaration order: service manager, maps, log object (flushing the log), package reader.
CInstaller::CInstaller(HANDLE logFile, bool openPackage, bool requireAdmin,
                       bool refuse64BitSystem, bool captureSetupLog) {
    CInstallerSeams& seams = InstallerSeams();
    srand(GetTickCount());

    m_log.reset(seams.newLog(logFile));
    if (!m_log) Fail(raising::kLineLogObject, GetLastError(), nullptr);

    if (captureSetupLog) m_log->StartCapture();

    if (requireAdmin && !IsAdministrator()) {
        Fail(raising::kLineAdministrator, raising::kErrorNoSuchPrivilege, kLogNoAdmin);
    }

    m_scManager.Reset(seams.openSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!m_scManager) Fail(raising::kLineServiceManager, GetLastError(), kLogServiceManager);

    // Windows 2000 needs Service Pack 4; a failed query leaves major version 0 and is rejected.
    const WindowsVersion version = TrueWindowsVersion();
    if (version.major < 5 ||
        (version.major == 5 && version.minor == 0 && version.servicePackMajor < 4)) {
        Fail(raising::kLineWindowsVersion, raising::kErrorOldWindows, kLogOsVersion);
    }

    ResolveEntryPoints();

    // The same question as the architecture query; with the slot missing the test passes.
    if (refuse64BitSystem && Is64BitWindows()) {
        Fail(raising::kLine64BitSystem, raising::kError64BitSystem, kLog64BitSystem);
    }

    m_packedTools.reset(seams.newReader());
    if (!m_packedTools) {
        // The only raising place whose line goes out before the last error is read.
        Log(kLogInitInstaller, nullptr);
        DWORD error = GetLastError();
        throw new CExceptionEx(raising::kModuleInstaller, raising::kLinePackageReader, error);
    }
    if (m_packedTools->m_status != kPackageOk) ThrowPackageError(m_packedTools->m_status);
    if (openPackage && !m_packedTools->OpenSelf()) {
        Log(kLogInitInstaller, nullptr);
        // Started from a network drive mapped in the user's own session: the elevated launcher
        // does not have that drive. Said in the log, so that the technician can tell.
        std::string drive;
        if (m_packedTools->m_status == kPackageNotRead && OwnFileDriveMissing(drive))
            Log(kLogOwnDriveMissing, drive.c_str());
        ThrowPackageError(m_packedTools->m_status);
    }

    EnsureRunOnceKey();
}

CInstaller::~CInstaller() {
    // Backup copies go; nothing is logged or deferred for them.
    for (const auto& backup : m_backups) ::DeleteFileA(backup.second.c_str());
    m_backups.clear();
    m_scManager.Reset();
    m_installed.clear();
    m_log.reset();
    m_packedTools.reset();
}

void CInstaller::Log(const char* message, const char* argument) {
    if (!m_log) return;
    CSetupLogApi* log = m_log.get();
    RunGuarded([log, message, argument] { log->WriteLine(message, argument); });
}

void CInstaller::Fail(uint16_t line, uint32_t error, const char* logLine) {
    if (logLine) Log(logLine, nullptr);
    throw new CExceptionEx(raising::kModuleInstaller, line, error);
}

}  // namespace linkmoor
