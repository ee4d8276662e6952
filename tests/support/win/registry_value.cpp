#include "registry_value.h"

#include <stdexcept>

namespace linkmoor::test {

std::optional<RegistryValue> ReadRegistryValue(HKEY key, const char* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.empty() ? nullptr : &data[0]),
                         &size) != ERROR_SUCCESS)
        throw std::runtime_error(std::string("cannot read ") + name);
    data.resize(size);
    return RegistryValue{type, data};
}

bool WriteRegistryValue(HKEY key, const char* name, const RegistryValue& value) {
    return RegSetValueExA(key, name, 0, value.type,
                          reinterpret_cast<const BYTE*>(value.data.data()),
                          DWORD(value.data.size())) == ERROR_SUCCESS;
}

}  // namespace linkmoor::test
