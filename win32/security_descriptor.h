#pragma once
// Security descriptors written as security descriptor text.

#include <windows.h>
#include <sddl.h>

#include "win32/unique_handle.h"

namespace linkmoor {

// The descriptor `text` in memory; null when the system cannot parse or build it.
inline UniqueLocalMemory DescriptorFromText(const char* text) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        return UniqueLocalMemory();
    }
    return UniqueLocalMemory(descriptor);
}

}  // namespace linkmoor
