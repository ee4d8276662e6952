#pragma once
// An environment variable of this process (and so of the programs it starts), set for a scope.

#include <string>

namespace linkmoor::test {

// Sets the variable; at the end puts back its earlier value, or removes it if it had none.
class CScopedEnvironment {
public:
    CScopedEnvironment(const std::string& name, const std::string& value);
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had;
};

}  // namespace linkmoor::test
