#include "scoped_environment.h"

#include <windows.h>

namespace linkmoor::test {

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

}  // namespace linkmoor::test
