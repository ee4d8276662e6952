#include "diagnostics/error_messages.h"

#include <cstdio>

#include "diagnostics/raising_places.h"

namespace linkmoor {
namespace {

// The package reader's statuses as they travel in the package error's sub-code.
constexpr int32_t kStatusUnreadable = -1;
constexpr int32_t kStatusDamaged = -2;
constexpr int32_t kStatusOutOfMemory = -3;

ErrorMessage ProductMessage(const char* text) {
    ErrorMessage message;
    message.fixedText = text;
    message.caption = kProductCaption;
    message.style = kStyleExclamation;
    return message;
}

const char* PackageText(int32_t status) {
    switch (status) {
        case kStatusOutOfMemory: return kOutOfMemoryText;
        case kStatusDamaged: return kDamagedPackageText;
        case kStatusUnreadable: return kUnpackFailedText;
        default: return nullptr;
    }
}

}  // namespace

ErrorMessage ChooseErrorMessage(const CExceptionEx& error) {
    switch (error.m_error) {
        case raising::kErrorNoSuchPrivilege: return ProductMessage(kAdministratorText);
        case raising::kErrorOldWindows: return ProductMessage(kOldWindowsText);
        case raising::kErrorPackage:
            if (const char* text = PackageText(raising::SubCode(error.m_module, error.m_line)))
                return ProductMessage(text);
            break;  // no other status is raised; shown like any other error
        default: break;
    }
    ErrorMessage message;
    // Both 16-bit fields widen without sign: 0 to 65535.
    std::snprintf(message.genericText.data(), message.genericText.size(), kGenericErrorFormat,
                  int(error.m_module), int(error.m_line), unsigned(error.m_error));
    message.caption = kGenericErrorCaption;
    message.style = kStylePlain;
    return message;
}

ErrorMessage OutOfMemoryMessage() { return ProductMessage(kOutOfMemoryText); }

ErrorMessage UnexpectedErrorMessage() { return ProductMessage(kUnexpectedErrorText); }

}  // namespace linkmoor
