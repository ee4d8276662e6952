#include "windows_version_choice.h"

#include <stdexcept>

namespace linkmoor::test {

namespace {

constexpr char kAppDefaultsKey[] = "Software\\Wine\\AppDefaults\\";
constexpr char kVersionValue[] = "Version";

}  // namespace

CWindowsVersionChoice::CWindowsVersionChoice(const std::string& exeName)
    : m_keyPath(kAppDefaultsKey + exeName) {
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, m_key.Put(), &disposition) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open " + m_keyPath);
    m_created = disposition == REG_CREATED_NEW_KEY;
    m_old = ReadRegistryValue(m_key.Get(), kVersionValue);
}

CWindowsVersionChoice::CWindowsVersionChoice(const std::string& exeName,
                                             const std::string& version)
    : CWindowsVersionChoice(exeName) {
    Choose(version);
}

CWindowsVersionChoice::~CWindowsVersionChoice() {
    if (m_old)
        WriteRegistryValue(m_key.Get(), kVersionValue, *m_old);
    else
        RegDeleteValueA(m_key.Get(), kVersionValue);
    m_key.Reset();
    if (m_created) RegDeleteKeyA(HKEY_CURRENT_USER, m_keyPath.c_str());
}

void CWindowsVersionChoice::Choose(const std::string& version) {
    WriteRegistryValue(m_key.Get(), kVersionValue,
                       RegistryValue{REG_SZ, version + std::string(1, '\0')});
}

}  // namespace linkmoor::test
