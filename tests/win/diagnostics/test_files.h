#pragma once
// Files for the diagnostics tests: a fresh folder per test, removed with everything in it, and
// whole-file reads and writes.

#include <windows.h>

#include <string>

namespace linkmoor::test {

// A new empty folder under the temp folder; removed with its files when the object goes away.
class CTestFolder {
public:
    CTestFolder();
    ~CTestFolder();
    CTestFolder(const CTestFolder&) = delete;
    CTestFolder& operator=(const CTestFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// The whole file, or "<missing>" when it cannot be opened.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
void AppendToFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A log file created as the entry creates it: for writing, shared for reading and writing.
HANDLE CreateLogFile(const std::string& path);

}  // namespace linkmoor::test
