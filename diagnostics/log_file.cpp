#include "diagnostics/log_file.h"

#include <aclapi.h>
#include <sddl.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "win32/current_user.h"
#include "win32/names_in_folder.h"
#include "win32/security_descriptor.h"
#include "win32/unique_handle.h"

namespace linkmoor {

namespace {

constexpr DWORD kLogAccess = GENERIC_WRITE;
constexpr ULONG kLogSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr LONG kStatusNameCollision = LONG(0xC0000035);  // STATUS_OBJECT_NAME_COLLISION
// How often a planted name is removed before the launcher goes on without a log: someone who
// plants it again each time only keeps the log from being written.
constexpr int kCreateAttempts = 3;

// A fresh log, only where the name is free.
constexpr NameOpening kFreshLog = {kLogAccess, kLogSharing, FILE_CREATE, FILE_NON_DIRECTORY_FILE,
                                   true};
// An earlier log, given the log's access list and truncated once it proves to be one; the
// attributes and the owner are what the check reads.
constexpr NameOpening kEarlierLog = {kLogAccess | FILE_READ_ATTRIBUTES | READ_CONTROL | WRITE_DAC,
                                     kLogSharing, FILE_OPEN, FILE_NON_DIRECTORY_FILE, true};
// Whatever stands under the name, opened to be looked at and perhaps removed.
constexpr NameOpening kStandingName = {DELETE | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       FILE_OPEN, 0, false};

bool ReadOwner(HANDLE file, PSID owner, DWORD size) {
    PSID found = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &found, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    UniqueLocalMemory owned(descriptor);
    return found && ::CopySid(size, owner, found);
}

FileOwnerReader g_readOwner = ReadOwner;

bool IsCurrentUser(PSID sid) {
    const CCurrentUser user;
    return user.IsValid() && ::EqualSid(user.Sid(), sid) != FALSE;
}

// Replaces the access list of an earlier log by the log's own, so that whoever could read it
// before cannot read what this run writes.
bool GiveLogAccessList(HANDLE file, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL accessList = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &accessList, &defaulted) || !present) {
        return false;
    }
    return ::SetSecurityInfo(file, SE_FILE_OBJECT,
                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                             nullptr, nullptr, accessList, nullptr) == ERROR_SUCCESS;
}

// Owned by this user, the Administrators group or SYSTEM: nobody else can have given it an access
// list that lets them read what the elevated launcher writes.
bool HasTrustedOwner(HANDLE file) {
    BYTE owner[SECURITY_MAX_SID_SIZE] = {};
    if (!g_readOwner(file, owner, sizeof(owner))) return false;
    return ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
           ::IsWellKnownSid(owner, WinLocalSystemSid) || IsCurrentUser(owner);
}

bool IsLink(const BY_HANDLE_FILE_INFORMATION& info) {
    return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
           ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks > 1);
}

// A file that only this name leads to: one link, no reparse point, no folder.
bool IsPlainFile(const BY_HANDLE_FILE_INFORMATION& info) {
    return info.nNumberOfLinks == 1 &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// An earlier log of ours, given the log's access list and truncated; invalid when the name leads
// to anything else or the access list cannot be given.
UniqueFile TruncateEarlierLog(HANDLE folder, const char* name, PSECURITY_DESCRIPTOR descriptor) {
    UniqueFile file;
    if (!NT_SUCCESS(OpenNameInFolder(folder, name, kEarlierLog, file))) return UniqueFile();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info) || !IsPlainFile(info) ||
        !HasTrustedOwner(file.Get()) || !GiveLogAccessList(file.Get(), descriptor)) {
        return UniqueFile();
    }
    ::SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);
    if (!::SetEndOfFile(file.Get())) return UniqueFile();
    return file;
}

// Removes the name of what was not reused as the log, when it is a link or a file (one of another
// owner, or one whose access list could not be replaced), and the name alone: a hard link's
// other names and a link's target stay as they are. Anything else standing there (a folder, a
// name the launcher may not remove) is left alone. True when the name was removed.
bool RemoveStandingName(HANDLE folder, const char* name) {
    UniqueFile standing;
    if (!NT_SUCCESS(OpenNameInFolder(folder, name, kStandingName, standing))) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(standing.Get(), &info)) return false;
    return (IsLink(info) || IsPlainFile(info)) && DeleteThroughHandle(standing.Get());
}

}  // namespace

UniqueLocalMemory LogFileDescriptor() {
    const CCurrentUser user;
    char* sid = nullptr;
    if (!user.IsValid() || !::ConvertSidToStringSidA(user.Sid(), &sid)) return UniqueLocalMemory();
    UniqueLocalMemory ownedSid(sid);
    const size_t size = sizeof(kLogAccessListFormat) + std::strlen(sid);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size]);
    if (!text) return UniqueLocalMemory();
    std::snprintf(text.get(), size, kLogAccessListFormat, sid);
    return DescriptorFromText(text.get());
}

HANDLE CreateLogFile(HANDLE folder, const char* name) {
    const UniqueLocalMemory descriptor = LogFileDescriptor();
    if (!descriptor) return INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        UniqueFile fresh;
        const LONG status = OpenNameInFolder(folder, name, kFreshLog, fresh, descriptor.Get());
        if (fresh) return fresh.Release();
        if (status != kStatusNameCollision) return INVALID_HANDLE_VALUE;
        UniqueFile earlier = TruncateEarlierLog(folder, name, descriptor.Get());
        if (earlier) return earlier.Release();
        if (!RemoveStandingName(folder, name)) return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

void SetFileOwnerReaderForTest(FileOwnerReader reader) { g_readOwner = reader ? reader : ReadOwner; }

}  // namespace linkmoor
