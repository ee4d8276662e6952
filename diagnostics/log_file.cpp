#include "diagnostics/log_file.h"

#include <winternl.h>

#include "diagnostics/unique_handle.h"

namespace linkmoor {

namespace {

static_assert(sizeof(SECURITY_ATTRIBUTES) == 12, "security attributes of a 32-bit program");

constexpr DWORD kLogAccess = GENERIC_WRITE;
constexpr DWORD kLogSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// How often a planted name is removed before the launcher goes on without a log: someone who
// plants it again each time only keeps the log from being written.
constexpr int kCreateAttempts = 3;

HANDLE Open(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    return CreateFileA(path.c_str(), access, kLogSharing, &attributes, disposition,
                       FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

bool IsLink(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
           ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1);
}

// A file that only this name leads to: one link, no reparse point, no folder.
bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// An earlier log, opened through the name itself (a reparse point is not followed) and
// truncated; invalid when the name leads anywhere else.
UniqueFile TruncateEarlierLog(const std::string& path) {
    // Reading the attributes is what the check needs beyond writing.
    UniqueFile file(Open(path, kLogAccess | FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file || !IsPlainFile(file.Get())) return UniqueFile();
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    if (!SetEndOfFile(file.Get())) return UniqueFile();
    return file;
}

// Removes the name when it is a link, and the name alone: a hard link's other names and a
// link's target stay as they are. Anything else standing there (a folder, a file the launcher
// may not write) is left alone. True when the name was removed.
bool RemoveLink(const std::string& path) {
    UniqueFile name(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!name || !GetFileInformationByHandle(name.Get(), &info) || !IsLink(info)) return false;
    // The native call, which Windows XP has too: the launcher must load there to show its notice.
    FILE_DISPOSITION_INFORMATION disposition = {};
    disposition.DoDeleteFile = TRUE;
    IO_STATUS_BLOCK status = {};
    return NT_SUCCESS(NtSetInformationFile(name.Get(), &status, &disposition, sizeof(disposition),
                                           FileDispositionInformation));
}

}  // namespace

HANDLE CreateLogFile(const std::string& path) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFile fresh(Open(path, kLogAccess, CREATE_NEW, 0));
        if (fresh) return fresh.Release();
        if (GetLastError() != ERROR_FILE_EXISTS) return INVALID_HANDLE_VALUE;
        UniqueFile earlier = TruncateEarlierLog(path);
        if (earlier) return earlier.Release();
        if (!RemoveLink(path)) return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace linkmoor
