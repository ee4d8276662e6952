#pragma once
// What the run's tests share beyond the engine's test support: the log file made the way the
// entry makes it, the test customer module's record, environment variables and the Windows
// version Wine reports to a program, each set for a scope and put back afterwards.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace linkmoor::test {

// The line the test customer module writes to its standard error.
inline constexpr char kCustomerModuleStderrLine[] =
    "test customer module: hello from the customer module\r\n";

// Folder of the running test program (the build tree's bin folder).
std::string ProgramFolder();

// The log file as the entry creates it: written, shared for reading and writing, inheritable.
class CInheritableLog {
public:
    explicit CInheritableLog(const std::string& path);
    ~CInheritableLog();
    HANDLE Handle() const { return m_handle; }
    void Close();

private:
    HANDLE m_handle;
};

// The test customer module's record: key=value lines; empty when the file is missing.
std::map<std::string, std::string> ReadRecord(const std::string& path);

// Sets an environment variable of this process (and so of the processes it starts) for a scope.
class CScopedEnvironment {
public:
    CScopedEnvironment(const std::string& name, const std::string& value);
    ~CScopedEnvironment();

private:
    std::string m_name;
    std::string m_old;
    bool m_had;
};

// Chooses the Windows version Wine reports to programs of the given file name (AppDefaults), and
// puts the registry back as it was at the end of the scope.
class CWindowsVersionChoice {
public:
    CWindowsVersionChoice(const std::string& exeName, const std::string& version);
    ~CWindowsVersionChoice();

private:
    std::string m_key;
    bool m_keyExisted;
    bool m_valueExisted;
    std::string m_oldValue;
};

// Starts a program and waits for it (bounded). Returns its exit code, or -1 when it could not be
// started or did not end in time.
int RunProgram(const std::string& exePath, const std::string& arguments, DWORD timeoutMs);

// The text without one pair of enclosing quotation marks, if it has them.
std::string Unquoted(const std::string& text);

// "a\r\nb\r\n" -> {"a", "b"}.
std::vector<std::string> SplitLines(const std::string& text);

// Copies the test customer module to `folder` under the customer-module GUI's name.
bool PlaceCustomerModule(const std::string& folder);

}  // namespace linkmoor::test
