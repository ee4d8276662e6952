#pragma once
// The SetupAPI logging values of the Setup key, for the capture tests: read them, set them, and
// put them back exactly as found.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "registry_value.h"

namespace linkmoor::test {

inline constexpr char kSetupKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

std::optional<RegistryValue> ReadSetupValue(const char* name);
void WriteSetupValue(const char* name, DWORD type, const std::string& data);
void DeleteSetupValue(const char* name);

std::optional<uint32_t> ReadLogLevel();
void SetLogLevel(uint32_t level);
void SetLogPath(const std::string& folder);

// Notes "LogPath" and "LogLevel" (whether present, type and bytes) and puts them back when it
// goes away. Same() tells whether they are as noted.
class CSetupValuesKeeper {
public:
    CSetupValuesKeeper();
    ~CSetupValuesKeeper();
    CSetupValuesKeeper(const CSetupValuesKeeper&) = delete;
    CSetupValuesKeeper& operator=(const CSetupValuesKeeper&) = delete;

    bool Same() const;

private:
    std::optional<RegistryValue> m_logPath;
    std::optional<RegistryValue> m_logLevel;
};

}  // namespace linkmoor::test
