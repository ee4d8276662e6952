#pragma once
// Folders for a test's own files under the user's temporary folder.

#include <string>

namespace linkmoor::test {

// The user's temporary folder, without its closing backslash.
std::string UserTempFolder();

// Removes `path` with everything in it, read-only files too.
void RemoveTree(const std::string& path);

// The Windows folder's Temp, as the system names the Windows folder.
std::string WindowsTempFolder();

// A new empty folder under the temporary folder, removed with everything in it at the end.
class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Join(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

}  // namespace linkmoor::test
