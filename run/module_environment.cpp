#include "run/module_environment.h"

#include <windows.h>
#include <shlobj.h>

#include "run/environment_block.h"
#include "run/module_folders.h"
#include "win32/current_user.h"
#include "win32/entry_point.h"
#include "win32/unique_handle.h"
#include "win32/wide_path.h"

namespace linkmoor {

namespace {

constexpr wchar_t kWbemFolder[] = L"\\Wbem";
constexpr wchar_t kPowerShellFolder[] = L"\\WindowsPowerShell\\v1.0";

constexpr wchar_t kPathVariable[] = L"Path";
constexpr wchar_t kSystemRootVariable[] = L"SystemRoot";
constexpr wchar_t kWindirVariable[] = L"windir";
constexpr wchar_t kTempVariable[] = L"TEMP";
constexpr wchar_t kTmpVariable[] = L"TMP";
constexpr wchar_t kOpenSslConfVariable[] = L"OPENSSL_CONF";
constexpr wchar_t kOpenSslModulesVariable[] = L"OPENSSL_MODULES";
constexpr wchar_t kOpenSslEnginesVariable[] = L"OPENSSL_ENGINES";
constexpr wchar_t kUserProfileVariable[] = L"USERPROFILE";
constexpr wchar_t kAppDataVariable[] = L"APPDATA";
constexpr wchar_t kLocalAppDataVariable[] = L"LOCALAPPDATA";
constexpr wchar_t kHomeDriveVariable[] = L"HOMEDRIVE";
constexpr wchar_t kHomePathVariable[] = L"HOMEPATH";
constexpr wchar_t kUserNameVariable[] = L"USERNAME";
constexpr wchar_t kUserDomainVariable[] = L"USERDOMAIN";
constexpr wchar_t kComputerNameVariable[] = L"COMPUTERNAME";

// userenv.dll is no known system DLL, and shell32's folder query is forwarded on newer Windows:
// both are looked up at run time from the system folder.
constexpr char kUserenvDll[] = "userenv.dll";
constexpr char kCreateEnvironmentBlock[] = "CreateEnvironmentBlock";
constexpr char kDestroyEnvironmentBlock[] = "DestroyEnvironmentBlock";
constexpr char kShell32Dll[] = "shell32.dll";
constexpr char kShGetFolderPathW[] = "SHGetFolderPathW";
using CreateEnvironmentBlockFn = BOOL(WINAPI*)(void** environment, HANDLE token, BOOL inherit);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(void* environment);
using ShGetFolderPathWFn = HRESULT(WINAPI*)(HWND owner, int folder, HANDLE token, DWORD flags,
                                            LPWSTR path);

constexpr DWORD kNameSize = 256;

struct EnvironmentBlockPolicy {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type block) {
        if (auto destroy = SystemEntryPoint<DestroyEnvironmentBlockFn>(kUserenvDll,
                                                                        kDestroyEnvironmentBlock))
            destroy(block);
    }
};

// The system's variables, without any user's: null when the system cannot give them.
UniqueHandle<EnvironmentBlockPolicy> SystemVariables() {
    auto create = SystemEntryPoint<CreateEnvironmentBlockFn>(kUserenvDll, kCreateEnvironmentBlock);
    void* block = nullptr;
    if (!create || !create(&block, nullptr, FALSE)) return UniqueHandle<EnvironmentBlockPolicy>();
    return UniqueHandle<EnvironmentBlockPolicy>(block);
}

template <UINT (WINAPI* Query)(LPWSTR, UINT)>
std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = Query(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring folder(buffer, length);
    if (folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring SystemPath() {
    const std::wstring system = SystemFolder<::GetSystemDirectoryW>();
    const std::wstring windows = SystemFolder<::GetSystemWindowsDirectoryW>();
    std::wstring path;
    for (const std::wstring& folder :
         {system, windows, system + kWbemFolder, system + kPowerShellFolder}) {
        if (folder.empty() || folder[0] == L'\\') continue;  // a query that failed
        if (!path.empty()) path += L';';
        path += folder;
    }
    return path;
}

std::wstring ShellFolder(int folder) {
    auto query = SystemEntryPoint<ShGetFolderPathWFn>(kShell32Dll, kShGetFolderPathW);
    wchar_t path[MAX_PATH + 1] = {};
    if (!query || FAILED(query(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

// The profile folder split as Windows does for an account without a home folder of its own:
// "C:" and "\Users\name".
bool IsOnADrive(const std::wstring& profile) {
    return profile.size() > 2 && profile[1] == L':' && profile[2] == L'\\';
}
std::wstring HomeDrive(const std::wstring& profile) {
    return IsOnADrive(profile) ? profile.substr(0, 2) : std::wstring();
}
std::wstring HomePath(const std::wstring& profile) {
    return IsOnADrive(profile) ? profile.substr(2) : std::wstring();
}

std::wstring UserName() {
    wchar_t name[kNameSize] = {};
    DWORD size = kNameSize;
    return ::GetUserNameW(name, &size) ? name : std::wstring();
}

std::wstring UserDomain() {
    const CCurrentUser user;
    wchar_t name[kNameSize] = {};
    wchar_t domain[kNameSize] = {};
    DWORD nameSize = kNameSize;
    DWORD domainSize = kNameSize;
    SID_NAME_USE use;
    if (!user.IsValid() ||
        !::LookupAccountSidW(nullptr, user.Sid(), name, &nameSize, domain, &domainSize, &use))
        return std::wstring();
    return domain;
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? name : std::wstring();
}

}  // namespace

std::wstring CustomerModuleEnvironment(const std::string& runFolder) {
    const UniqueHandle<EnvironmentBlockPolicy> system = SystemVariables();
    const std::wstring folder = WidePath(runFolder);
    const std::wstring temp = folder + L"\\" + WidePath(kModuleTempFolder);
    const std::wstring openSsl = folder + L"\\" + WidePath(kOpenSslFolder);
    const std::wstring windows = SystemFolder<::GetSystemWindowsDirectoryW>();
    const std::wstring profile = ShellFolder(CSIDL_PROFILE);
    return WithVariablesSet(static_cast<const wchar_t*>(system.Get()),
                            {
                                {kPathVariable, SystemPath()},
                                {kSystemRootVariable, windows},
                                {kWindirVariable, windows},
                                {kTempVariable, temp},
                                {kTmpVariable, temp},
                                {kOpenSslConfVariable, openSsl + L"\\" + WidePath(kOpenSslConfigFile)},
                                {kOpenSslModulesVariable, openSsl},
                                {kOpenSslEnginesVariable, openSsl},
                                {kUserProfileVariable, profile},
                                {kAppDataVariable, ShellFolder(CSIDL_APPDATA)},
                                {kLocalAppDataVariable, ShellFolder(CSIDL_LOCAL_APPDATA)},
                                {kHomeDriveVariable, HomeDrive(profile)},
                                {kHomePathVariable, HomePath(profile)},
                                {kUserNameVariable, UserName()},
                                {kUserDomainVariable, UserDomain()},
                                {kComputerNameVariable, ComputerName()},
                            });
}

}  // namespace linkmoor
