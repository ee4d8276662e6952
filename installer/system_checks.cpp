// The engine's checks of the machine during construction: administrator rights, the optional
// entry points, the RunOnce key.

#include <memory>
#include <new>

#include "installer/installer.h"
#include "installer/installer_seams.h"
#include "win32/entry_point.h"

namespace linkmoor {

namespace {

constexpr DWORD kTokenGroupsBufferSize = 0x10000;
constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kRunOnceKey[] = "RunOnce";

struct SidDeleter {
    void operator()(void* sid) const { ::FreeSid(sid); }
};

bool IsEnabledGroup(DWORD attributes) {
    return (attributes & SE_GROUP_ENABLED) != 0 && (attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0;
}

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

// Any failure on the way counts as not being an administrator. Only an enabled Administrators
// group gives the rights: started without elevation (a compatibility setting that runs it as the
// invoker, a filtered token), the group is there for deny only, and the run would fail later at
// every step that needs them.
bool CInstaller::IsAdministrator() {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return false;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kTokenGroupsBufferSize]);
    if (!buffer) return false;
    DWORD length = 0;
    BOOL read = InstallerSeams().getTokenInformation(token.Get(), TokenGroups, buffer.get(),
                                                     kTokenGroupsBufferSize, &length);
    token.Reset();
    if (!read) return false;

    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    void* raw = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &raw)) {
        return false;
    }
    std::unique_ptr<void, SidDeleter> admins(raw);
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.get());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        if (::EqualSid(group.Sid, admins.get())) return IsEnabledGroup(group.Attributes);
    }
    return false;
}

void CInstaller::ResolveEntryPoints() {
    HMODULE kernel32 = ::LoadLibraryA(kKernel32Dll);
    m_getSystemWow64DirectoryA =
        Resolve<GetSystemWow64DirectoryAFn>(kernel32, "GetSystemWow64DirectoryA");
    m_isWow64Process2 = Resolve<IsWow64Process2Fn>(kernel32, "IsWow64Process2");

    HMODULE ntdll = ::GetModuleHandleA(kNtdllDll);
    m_rtlGetNtVersionNumbers = Resolve<RtlGetNtVersionNumbersFn>(ntdll, kRtlGetNtVersionNumbers);

    HMODULE msi = LoadSystemLibrary("msi.dll");
    m_msiEnumPatchesExA = Resolve<MsiEnumPatchesExAFn>(msi, "MsiEnumPatchesExA");
    m_msiGetPatchInfoExA = Resolve<MsiGetPatchInfoExAFn>(msi, "MsiGetPatchInfoExA");

    HMODULE newdev = LoadSystemLibrary("newdev.dll");
    m_diUninstallDriverA = Resolve<DiUninstallDriverAFn>(newdev, "DiUninstallDriverA");
    // The libraries stay loaded for the life of the process.
}

// Any failure here is ignored: the key is a convenience for what runs after a reboot.
void CInstaller::EnsureRunOnceKey() {
    UniqueRegistryKey windows;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kWindowsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, windows.Put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    UniqueRegistryKey runOnce;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(windows.Get(), kRunOnceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_WRITE, nullptr, runOnce.Put(), &disposition) != ERROR_SUCCESS) {
        return;
    }
    if (disposition == REG_CREATED_NEW_KEY) Log(kLogRunOnceCreated, nullptr);
}

}  // namespace linkmoor
