#include "pending_renames.h"

#include <windows.h>

#include "win32/unique_handle.h"

namespace linkmoor::test {

std::vector<std::string> ReadPendingRenames() {
    std::vector<std::string> strings;
    UniqueRegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.Put()))
        return strings;
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), kPendingRenamesValue, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return strings;
    std::string data(size, '\0');
    RegQueryValueExA(key.Get(), kPendingRenamesValue, nullptr, nullptr,
                     reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size);
    // Strings one after another, each ended by a zero; an empty string stands for "no target".
    // The list ends with one more zero.
    size_t at = 0;
    while (at < data.size()) {
        size_t end = data.find('\0', at);
        if (end == std::string::npos) end = data.size();
        strings.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1) {
        strings.pop_back();
    }
    return strings;
}

void ClearPendingRenames() {
    UniqueRegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, key.Put())) return;
    RegDeleteValueA(key.Get(), kPendingRenamesValue);
}

std::string NtPath(const std::string& path) { return "\\??\\" + path; }

}  // namespace linkmoor::test
