#pragma once
// The launcher's log file, made the way the entry makes it, and read back after the code under
// test has gone.

#include <windows.h>

#include <string>

#include "diagnostics/log_file.h"
#include "win32/unique_handle.h"

namespace linkmoor::test {

// The product's own, for a log at `path`: its folder opened, the log created in it through that
// handle anew, shared for reading and writing, inheritable.
HANDLE CreateLogFile(const std::string& path);

// A log file made by CreateLogFile and closed at the end.
class CLogFile {
public:
    explicit CLogFile(const std::string& path) : m_path(path), m_file(CreateLogFile(path)) {}

    HANDLE Handle() const { return m_file.Get(); }
    std::string Contents() const;

private:
    std::string m_path;
    UniqueFile m_file;
};

}  // namespace linkmoor::test
