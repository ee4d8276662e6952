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

// "LogPath" and "LogLevel" as they stand: whether present, type and bytes.
struct SetupValues {
    std::optional<RegistryValue> logPath;
    std::optional<RegistryValue> logLevel;
    bool operator==(const SetupValues& o) const {
        return logPath == o.logPath && logLevel == o.logLevel;
    }
};
SetupValues ReadSetupValues();

// Notes the two values and puts them back when it goes away.
class CSetupValuesKeeper {
public:
    CSetupValuesKeeper();
    ~CSetupValuesKeeper();
    CSetupValuesKeeper(const CSetupValuesKeeper&) = delete;
    CSetupValuesKeeper& operator=(const CSetupValuesKeeper&) = delete;

    const SetupValues& Noted() const { return m_noted; }

private:
    SetupValues m_noted;
};

}  // namespace linkmoor::test
