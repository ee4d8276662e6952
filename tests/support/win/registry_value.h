#pragma once
// A registry value as stored (type and bytes), so that a test can put back exactly what it found.

#include <windows.h>

#include <optional>
#include <string>

namespace linkmoor::test {

struct RegistryValue {
    DWORD type;
    std::string data;
    bool operator==(const RegistryValue& o) const { return type == o.type && data == o.data; }
};

// The value `name` of the open `key`, or nullopt when there is none. Throws std::runtime_error
// when it is there but cannot be read.
std::optional<RegistryValue> ReadRegistryValue(HKEY key, const char* name);
// False when Windows refused.
bool WriteRegistryValue(HKEY key, const char* name, const RegistryValue& value);

}  // namespace linkmoor::test
