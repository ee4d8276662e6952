#include "setup_registry.h"

#include <cstring>
#include <stdexcept>

#include "win32/unique_handle.h"

namespace linkmoor::test {

namespace {

constexpr char kLogPath[] = "LogPath";
constexpr char kLogLevel[] = "LogLevel";

UniqueRegistryKey OpenSetupKey() {
    UniqueRegistryKey key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSetupKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, key.Put(), nullptr);
    if (result != ERROR_SUCCESS) throw std::runtime_error("cannot open the Setup key");
    return key;
}

void Restore(const char* name, const std::optional<RegistryValue>& value) {
    if (value)
        WriteSetupValue(name, value->type, value->data);
    else
        DeleteSetupValue(name);
}

}  // namespace

std::optional<RegistryValue> ReadSetupValue(const char* name) {
    return ReadRegistryValue(OpenSetupKey().Get(), name);
}

void WriteSetupValue(const char* name, DWORD type, const std::string& data) {
    if (!WriteRegistryValue(OpenSetupKey().Get(), name, RegistryValue{type, data}))
        throw std::runtime_error(std::string("cannot write ") + name);
}

void DeleteSetupValue(const char* name) {
    UniqueRegistryKey key = OpenSetupKey();
    RegDeleteValueA(key.Get(), name);
}

std::optional<uint32_t> ReadLogLevel() {
    std::optional<RegistryValue> value = ReadSetupValue(kLogLevel);
    if (!value) return std::nullopt;
    if (value->type != REG_DWORD || value->data.size() != 4)
        throw std::runtime_error("LogLevel is not a REG_DWORD");
    uint32_t level;
    memcpy(&level, value->data.data(), 4);
    return level;
}

void SetLogLevel(uint32_t level) {
    WriteSetupValue(kLogLevel, REG_DWORD, std::string(reinterpret_cast<const char*>(&level), 4));
}

void SetLogPath(const std::string& folder) {
    WriteSetupValue(kLogPath, REG_SZ, folder + std::string(1, '\0'));
}

SetupValues ReadSetupValues() {
    return {ReadSetupValue(kLogPath), ReadSetupValue(kLogLevel)};
}

CSetupValuesKeeper::CSetupValuesKeeper() : m_noted(ReadSetupValues()) {}

CSetupValuesKeeper::~CSetupValuesKeeper() {
    Restore(kLogPath, m_noted.logPath);
    Restore(kLogLevel, m_noted.logLevel);
}

}  // namespace linkmoor::test
