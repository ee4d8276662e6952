#include "win32/protected_folder.h"

#include <winternl.h>

#include <string>

#include "win32/entry_point.h"
#include "win32/security_descriptor.h"
#include "win32/wide_path.h"

namespace linkmoor {

namespace {

// Undocumented, so looked up at run time; every Windows NT has it.
using DosPathNameToNtPathNameFn = BOOLEAN(NTAPI*)(PCWSTR dosName, UNICODE_STRING* ntName,
                                                  PWSTR* filePart, void* relativeName);
constexpr char kDosPathNameToNtPathName[] = "RtlDosPathNameToNtPathName_U";

// A handle with data access takes part in sharing checks; one holding only attribute access
// would not keep anyone from opening the folder for deletion or renaming.
constexpr ACCESS_MASK kPinAccess = FILE_LIST_DIRECTORY | SYNCHRONIZE;
constexpr ULONG kPinSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr NTSTATUS kStatusInvalidOwner = NTSTATUS(0xC000005AL);

// The NT form of a Windows path, as the ANSI file calls make it.
class CNtPath {
public:
    explicit CNtPath(const char* path) {
        const std::wstring wide = WidePath(path, ::AreFileApisANSI() ? CP_ACP : CP_OEMCP);
        if (wide.empty()) return;
        auto convert =
            LoadedEntryPoint<DosPathNameToNtPathNameFn>(kNtdllDll, kDosPathNameToNtPathName);
        m_valid = convert && convert(wide.c_str(), &m_name, nullptr, nullptr) != FALSE;
    }
    ~CNtPath() {
        if (m_valid) ::RtlFreeUnicodeString(&m_name);
    }
    CNtPath(const CNtPath&) = delete;
    CNtPath& operator=(const CNtPath&) = delete;

    bool IsValid() const { return m_valid; }
    UNICODE_STRING* Name() { return &m_name; }

private:
    UNICODE_STRING m_name{};
    bool m_valid = false;
};

// Creates and opens the folder in one call: no moment in which another program could remove the
// new, empty folder and put one of its own under the name.
NTSTATUS CreateAndOpen(CNtPath& path, PSECURITY_DESCRIPTOR descriptor, HANDLE& folder) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, path.Name(), OBJ_CASE_INSENSITIVE, nullptr,
                               descriptor);
    IO_STATUS_BLOCK status{};
    return ::NtCreateFile(&folder, kPinAccess, &attributes, &status, nullptr,
                          FILE_ATTRIBUTE_NORMAL, kPinSharing, FILE_CREATE,
                          FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
}

}  // namespace

UniqueLocalMemory ProtectedFolderDescriptor(bool withOwner) {
    const std::string text =
        std::string(withOwner ? kProtectedFolderOwner : "") + kProtectedFolderAccessList;
    return DescriptorFromText(text.c_str());
}

UniqueFile CreateProtectedFolder(const char* path) {
    CNtPath ntPath(path);
    if (!ntPath.IsValid()) {
        ::SetLastError(ERROR_PATH_NOT_FOUND);
        return UniqueFile();
    }
    HANDLE folder = INVALID_HANDLE_VALUE;
    NTSTATUS status = STATUS_NO_MEMORY;
    for (bool withOwner : {true, false}) {
        UniqueLocalMemory descriptor = ProtectedFolderDescriptor(withOwner);
        if (!descriptor) break;
        status = CreateAndOpen(ntPath, descriptor.Get(), folder);
        if (status != kStatusInvalidOwner) break;
    }
    if (!NT_SUCCESS(status)) {
        ::SetLastError(::RtlNtStatusToDosError(status));
        return UniqueFile();
    }
    return UniqueFile(folder);
}

}  // namespace linkmoor
