#pragma once
// What the engine's tests share: scratch folders, log files read back, the pending operations
// Windows keeps for the next reboot, catching the engine's errors, and restoring its seams.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "diagnostics/exception_ex.h"
#include "installer/installer.h"
#include "installer/installer_seams.h"

namespace linkmoor::test {

// True when the tests run in the 64-bit Wine prefix (the harness says which).
bool IsWin64Prefix();

// A fresh folder under the temporary folder, removed with everything in it at the end.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    const std::string& Path() const { return m_path; }
    std::string Join(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// A log file created the way the entry creates it; read back after the engine is gone.
class CLogFile {
public:
    explicit CLogFile(const std::string& path);
    ~CLogFile();
    HANDLE Handle() const { return m_handle; }
    std::string Contents() const;

private:
    std::string m_path;
    HANDLE m_handle;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
// Names in `folder` (without "." and ".."), sorted.
std::vector<std::string> ListFolder(const std::string& folder);

// The engine's error, owned, or null when `run` returned normally.
template <typename F>
std::unique_ptr<CExceptionEx> CatchError(F&& run) {
    try {
        run();
    } catch (CExceptionEx* error) {
        return std::unique_ptr<CExceptionEx>(error);
    }
    return nullptr;
}

// Puts the engine's seams back to what they were when it was made.
class CSeamsRestorer {
public:
    CSeamsRestorer() : m_saved(InstallerSeams()) {}
    ~CSeamsRestorer() { InstallerSeams() = m_saved; }

private:
    CInstallerSeams m_saved;
};

// PendingFileRenameOperations: the strings of the REG_MULTI_SZ value, in order.
std::vector<std::string> ReadPendingRenames();
void ClearPendingRenames();
// "\??\" + path, the form Windows records.
std::string NtPath(const std::string& path);

// Exposes the engine's internal operations to the tests.
class CTestInstaller : public CInstaller {
public:
    explicit CTestInstaller(HANDLE logFile, bool openPackage = false, bool requireAdmin = false,
                            bool refuse64BitSystem = false, bool captureSetupLog = false)
        : CInstaller(logFile, openPackage, requireAdmin, refuse64BitSystem, captureSetupLog) {}
    using CInstaller::BackupExistingFile;
    using CInstaller::MakeTempName;
    using CInstaller::RecordInstalledPath;
};

}  // namespace linkmoor::test
