#include "log_file.h"

#include "whole_file.h"

namespace linkmoor::test {

HANDLE CreateLogFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string CLogFile::Contents() const { return ReadFileBytes(m_path); }

}  // namespace linkmoor::test
