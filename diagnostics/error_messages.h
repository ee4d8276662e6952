#pragma once
// The texts of every box the entry shows: the boxes for an error that ends a run (text, caption
// and style), the legacy notice and the warning when no work folder can be written. Portable: the
// style values equal the Windows message-box flags they stand for, and the package tool explains
// the same texts.

#include <array>
#include <cstddef>
#include <cstdint>

#include "diagnostics/exception_ex.h"

namespace linkmoor {

// Caption of every box of the launcher except the generic installation error.
inline constexpr char kProductCaption[] = "Linkmoor Technician Edition - Customer Module";
inline constexpr char kGenericErrorCaption[] = "Installation Error";

inline constexpr char kAdministratorText[] =
    "You have to be logged in as an administrator while installing this program!";
inline constexpr char kOldWindowsText[] =
    "You must run this program on the Windows 2000 Service Pack 4 or newer.";
inline constexpr char kOutOfMemoryText[] =
    "Not enough system resourses to complete the installation.";
inline constexpr char kDamagedPackageText[] = "Installation package is damaged.";
inline constexpr char kUnpackFailedText[] = "Error while unpacking modules.";
inline constexpr char kUnexpectedErrorText[] = "Unexpected error.";
// Filled with the module, the line and the error code.
inline constexpr char kGenericErrorFormat[] = "Module: %d Line %d Err 0x%x\n";

// The boxes that are no installer error: the legacy notice on systems older than Windows Vista,
// with its renamed Yes and No buttons and the page its Yes opens, and the warning when no work
// folder can be written.
inline constexpr char kLegacyNoticeText[] =
    "This version of the program is designed to run on Windows Vista or newer.\n"
    "If you need to use it on Windows XP or Windows 2003 Server,\n"
    "please visit our website to download a legacy version.";
inline constexpr char kLegacyOpenLabel[] = "Open Website";
inline constexpr char kLegacyCloseLabel[] = "Close";
inline constexpr char kLegacyPageUrl[] =
    "https://www.fernhollow.example/linkmoor-technician-legacy.html";
inline constexpr char kNoWorkFolderText[] = "Error while unpacking modules in template folder";

inline constexpr uint32_t kStyleExclamation = 0x30;  // MB_ICONEXCLAMATION with an OK button
inline constexpr uint32_t kStylePlain = 0;           // MB_OK, no icon

inline constexpr size_t kGenericTextSize = 256;

// Holds no heap memory: the fixed texts are constants and the generic text is formatted into the
// object itself, so the box for an allocation failure can be shown when memory stays short.
struct ErrorMessage {
    const char* fixedText = nullptr;  // null: the generic text
    std::array<char, kGenericTextSize> genericText{};
    const char* caption = nullptr;
    uint32_t style = 0;

    const char* Text() const { return fixedText != nullptr ? fixedText : genericText.data(); }
};

// The box for an installer error: the fixed texts for 1313, 1150 and the package error 1359
// with status -1, -2 or -3; the generic text under "Installation Error" for every other one.
ErrorMessage ChooseErrorMessage(const CExceptionEx& error);

// The boxes for failures that are not installer errors: an allocation failure, and anything
// else that reaches the entry.
ErrorMessage OutOfMemoryMessage();
ErrorMessage UnexpectedErrorMessage();

}  // namespace linkmoor
