#include "diagnostics/log_file.h"

namespace linkmoor {

static_assert(sizeof(SECURITY_ATTRIBUTES) == 12, "security attributes of a 32-bit program");

HANDLE CreateLogFile(const std::string& path) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace linkmoor
