// File and folder operations of the engine. What it creates is recorded so that exactly that can
// be removed later; what Windows refuses to remove or replace now is left for the next reboot.

#include <cstdio>
#include <string>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "installer/installer.h"
#include "installer/installer_seams.h"
#include "win32/protected_folder.h"
#include "win32/retry.h"

namespace linkmoor {

namespace {

std::string JoinPath(const char* dir, const char* name) {
    std::string path(dir);
    path += '\\';
    path += name;
    return path;
}

// Names that security software keeps pending deletion for a moment (Windows before 10 keeps a
// deleted file's name until its last handle closes) make a folder look not empty; they are gone
// again long before a restart.
constexpr RetryPauses kPendingNamePauses = {25, 100, 400};

bool PathExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    UniqueFind search(::FindFirstFileA(path.c_str(), &found));
    return search.IsValid();
}

HANDLE CreateForWriting(const std::string& path) {
    return InstallerSeams().createFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

[[noreturn]] void Throw(uint16_t line, uint32_t error) {
    throw new CExceptionEx(raising::kModuleInstaller, line, error);
}

}  // namespace

void CInstaller::RecordInstalledPath(const std::string& path) { m_installed[path] = kKindFile; }

bool CInstaller::WriteWhole(HANDLE file, const uint8_t* data, uint32_t size) {
    ::SetEndOfFile(file);
    DWORD written = 0;
    InstallerSeams().writeFile(file, data, size, &written, nullptr);
    return written == size;
}

void CInstaller::CreateDirectory(const char* path) {
    Log(kLogCreateDirectory, path);
    const bool created = ::CreateDirectoryA(path, nullptr) != FALSE;
    TakeDirectoryOutcome(path, created, created ? ERROR_SUCCESS : ::GetLastError());
}

UniqueFile CInstaller::CreateProtectedDirectory(const char* path) {
    Log(kLogCreateDirectory, path);
    UniqueFile folder = InstallerSeams().createProtectedFolder(path);
    TakeDirectoryOutcome(path, folder.IsValid(), folder ? ERROR_SUCCESS : ::GetLastError());
    return folder;
}

bool CInstaller::CreateProtectedDirectoryUnlessRefused(const char* path, UniqueFile& folder) {
    folder = InstallerSeams().createProtectedFolder(path);
    const DWORD error = folder ? ERROR_SUCCESS : ::GetLastError();
    if (!folder && error != ERROR_ALREADY_EXISTS) {
        ::SetLastError(error);
        return false;
    }
    // The line a creation logs before it is made, written once the directory is known to stay.
    Log(kLogCreateDirectory, path);
    TakeDirectoryOutcome(path, folder.IsValid(), error);
    return true;
}

void CInstaller::TakeDirectoryOutcome(const char* path, bool created, DWORD error) {
    if (created) {
        m_installed[path] = kKindDirectory;
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) return;  // the existing directory serves
    Throw(raising::kLineCreateDirectory, error);
}

void CInstaller::InstallFile(const char* name, const char* dir, const uint8_t* data,
                             uint32_t size) {
    const std::string path = JoinPath(dir, name);
    Log(kLogInstallFile, path.c_str());

    if (!PathExists(path)) {
        UniqueFile file(CreateForWriting(path));
        if (!file) Throw(raising::kLineCreateFile, ::GetLastError());
        RecordInstalledPath(path);
        if (!WriteWhole(file.Get(), data, size)) Throw(raising::kLineShortWrite, ::GetLastError());
        return;
    }

    BackupExistingFile(name, dir);
    {
        UniqueFile file(CreateForWriting(path));
        if (file) {
            // Overwritten in place: the target is not ours to remove later.
            if (!WriteWhole(file.Get(), data, size)) {
                Throw(raising::kLineShortWrite, ::GetLastError());
            }
            return;
        }
    }

    // The target is in use: write beside it and let Windows swap the files at the next reboot.
    const std::string tmp = MakeTempName(name, dir);
    bool shortWrite = false;
    DWORD shortWriteError = 0;
    {
        UniqueFile file(CreateForWriting(tmp));
        if (!file) Throw(raising::kLineCreateTempFile, ::GetLastError());
        RecordInstalledPath(tmp);
        if (!WriteWhole(file.Get(), data, size)) {
            shortWrite = true;
            shortWriteError = ::GetLastError();
        }
    }
    m_rebootRequired = 1;
    Log(kLogRebootRequired, nullptr);
    if (!::MoveFileExA(tmp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
        Throw(raising::kLineReplaceAtReboot, ::GetLastError());
    }
    if (shortWrite) Throw(raising::kLineShortWriteTempFile, shortWriteError);
}

void CInstaller::DeleteFile(const char* dir, const char* name) {
    const std::string path = JoinPath(dir, name);
    Log(kLogDeleteFile, path.c_str());
    if (::DeleteFileA(path.c_str())) return;
    DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    ::MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    m_rebootRequired = 1;
    Log(kLogRebootRequired, nullptr);
}

void CInstaller::DeleteDirectory(const char* path) {
    Log(kLogDeleteDirectory, path);
    const RetryOutcome removal = RetryWhilePassing(
        kPendingNamePauses, [path] { return ::RemoveDirectoryA(path) != FALSE; },
        [](DWORD error) { return error == ERROR_DIR_NOT_EMPTY; });
    if (removal.succeeded) return;
    const DWORD error = removal.error;
    if (error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) return;
    char argument[16];
    snprintf(argument, sizeof(argument), "(0x%x)", static_cast<unsigned>(error));
    Log(kLogRebootRequiredWithError, argument);
    ::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    m_rebootRequired = 1;
}

// Walks the record in key order; the record stays as it is, so a second call repeats the work.
void CInstaller::RemoveInstallFiles() {
    for (const auto& entry : m_installed) {
        if (entry.second != kKindFile) continue;
        const char* path = entry.first.c_str();
        Log(kLogRemoveInstallFiles, path);
        if (::DeleteFileA(path)) continue;
        ::MoveFileExA(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        m_rebootRequired = 1;
        Log(kLogRebootRequired, nullptr);
    }
}

void CInstaller::BackupExistingFile(const char* name, const char* dir) {
    const std::string path = JoinPath(dir, name);
    std::string backup = MakeTempName(name, dir);
    if (!::CopyFileA(path.c_str(), backup.c_str(), TRUE)) {
        Throw(raising::kLineBackupCopy, ::GetLastError());
    }
    m_backups[path] = std::move(backup);
}

}  // namespace linkmoor
