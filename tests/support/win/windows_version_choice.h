#pragma once
// The Windows version Wine reports to the programs of one file name, chosen in
// HKCU\Software\Wine\AppDefaults\<file name>\Version. The setting is shared by the whole prefix
// (tests that change it hold a lock).

#include <optional>
#include <string>

#include "registry_value.h"
#include "win32/unique_handle.h"

namespace linkmoor::test {

// Notes what the setting holds (key, value type and bytes) and puts exactly that back at the
// end: a key it had to create is removed again.
class CWindowsVersionChoice {
public:
    // Throws std::runtime_error when the key cannot be opened or created.
    explicit CWindowsVersionChoice(const std::string& exeName);
    CWindowsVersionChoice(const std::string& exeName, const std::string& version);
    ~CWindowsVersionChoice();
    CWindowsVersionChoice(const CWindowsVersionChoice&) = delete;
    CWindowsVersionChoice& operator=(const CWindowsVersionChoice&) = delete;

    // A Wine version name: "win2k", "winxp", "vista", "win7", "win81", "win10", ...
    void Choose(const std::string& version);

private:
    std::string m_keyPath;
    UniqueRegistryKey m_key;
    bool m_created = false;
    std::optional<RegistryValue> m_old;
};

}  // namespace linkmoor::test
