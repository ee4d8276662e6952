#include "win32/names_in_folder.h"

#include <winternl.h>

#include <string>

#include "win32/wide_path.h"

namespace linkmoor {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsFileSystemFolder(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(handle) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(handle, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

UniqueFile OpenFolder(const char* path, DWORD access) {
    UniqueFile folder(::CreateFileA(path, access, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder && !IsFileSystemFolder(folder.Get())) {
        folder.Reset();
        ::SetLastError(ERROR_DIRECTORY);
    }
    return folder;
}

LONG OpenNameInFolder(HANDLE folder, const char* name, const NameOpening& how, UniqueFile& file,
                      PSECURITY_DESCRIPTOR descriptor) {
    file.Reset();
    const std::wstring wide = WidePath(name);
    UNICODE_STRING objectName;
    ::RtlInitUnicodeString(&objectName, wide.c_str());
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName,
                               OBJ_CASE_INSENSITIVE | (how.inheritable ? OBJ_INHERIT : 0), folder,
                               descriptor);
    IO_STATUS_BLOCK io{};
    HANDLE opened = INVALID_HANDLE_VALUE;
    const NTSTATUS status = ::NtCreateFile(
        &opened, how.access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
        how.sharing, how.disposition,
        how.options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (!NT_SUCCESS(status)) {
        ::SetLastError(::RtlNtStatusToDosError(status));
        return status;
    }
    file.Reset(opened);
    return status;
}

bool DeleteThroughHandle(HANDLE file) {
    FILE_DISPOSITION_INFORMATION disposition{};
    disposition.DoDeleteFile = TRUE;
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = ::NtSetInformationFile(file, &io, &disposition, sizeof(disposition),
                                                   FileDispositionInformation);
    if (!NT_SUCCESS(status)) ::SetLastError(::RtlNtStatusToDosError(status));
    return NT_SUCCESS(status);
}

}  // namespace linkmoor
