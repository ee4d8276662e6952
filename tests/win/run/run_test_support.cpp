#include "run_test_support.h"

#include <cstdio>

#include "installer_test_support.h"

namespace linkmoor::test {

namespace {

constexpr char kAppDefaults[] = "Software\\Wine\\AppDefaults\\";
constexpr char kVersionValue[] = "Version";

}  // namespace

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\'));
}

CInheritableLog::CInheritableLog(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    m_handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

CInheritableLog::~CInheritableLog() { Close(); }

void CInheritableLog::Close() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

std::map<std::string, std::string> ReadRecord(const std::string& path) {
    std::map<std::string, std::string> record;
    if (!PathExists(path)) return record;
    const std::string text = ReadFileBytes(path);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) record[line.substr(0, equals)] = line.substr(equals + 1);
        at = end + 1;
    }
    return record;
}

CScopedEnvironment::CScopedEnvironment(const std::string& name, const std::string& value)
    : m_name(name) {
    char old[1024];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), old, sizeof(old));
    m_had = n > 0 && n < sizeof(old);
    if (m_had) m_old.assign(old, n);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
}

CScopedEnvironment::~CScopedEnvironment() {
    SetEnvironmentVariableA(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
}

CWindowsVersionChoice::CWindowsVersionChoice(const std::string& exeName,
                                             const std::string& version)
    : m_key(std::string(kAppDefaults) + exeName), m_keyExisted(false), m_valueExisted(false) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS)
        return;
    m_keyExisted = disposition == REG_OPENED_EXISTING_KEY;
    char old[64] = {};
    DWORD size = sizeof(old) - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, kVersionValue, nullptr, &type, reinterpret_cast<BYTE*>(old),
                         &size) == ERROR_SUCCESS && type == REG_SZ) {
        m_valueExisted = true;
        m_oldValue = old;
    }
    RegSetValueExA(key, kVersionValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   DWORD(version.size() + 1));
    RegCloseKey(key);
}

CWindowsVersionChoice::~CWindowsVersionChoice() {
    if (!m_keyExisted) {
        RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (m_valueExisted)
        RegSetValueExA(key, kVersionValue, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(m_oldValue.c_str()),
                       DWORD(m_oldValue.size() + 1));
    else
        RegDeleteValueA(key, kVersionValue);
    RegCloseKey(key);
}

int RunProgram(const std::string& exePath, const std::string& arguments, DWORD timeoutMs) {
    std::string commandLine = "\"" + exePath + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

std::string Unquoted(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return text.substr(1, text.size() - 2);
    return text;
}

bool PlaceCustomerModule(const std::string& folder) {
    const std::string source = ProgramFolder() + "\\test-customer-module.exe";
    const std::string target = folder + "\\linkmoor-customer-module-gui.exe";
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

}  // namespace linkmoor::test
