#include "log_file.h"

#include "whole_file.h"
#include "win32/names_in_folder.h"

namespace linkmoor::test {

HANDLE CreateLogFile(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return INVALID_HANDLE_VALUE;
    UniqueFile folder = OpenFolder(path.substr(0, slash).c_str());
    if (!folder) return INVALID_HANDLE_VALUE;
    return linkmoor::CreateLogFile(folder.Get(), path.c_str() + slash + 1);
}

std::string CLogFile::Contents() const { return ReadFileBytes(m_path); }

}  // namespace linkmoor::test
