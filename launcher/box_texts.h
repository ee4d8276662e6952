#pragma once
// The boxes the entry shows that are no installer error: the legacy notice on systems older
// than Windows Vista and the warning when no work folder can be written. Portable: the package
// tool explains them.

namespace linkmoor {

inline constexpr char kLegacyNoticeText[] =
    "This version of the program is designed to run on Windows Vista or newer.\n"
    "If you need to use it on Windows XP or Windows 2003 Server,\n"
    "please visit our website to download a legacy version.";
inline constexpr char kLegacyOpenLabel[] = "Open Website";
inline constexpr char kLegacyCloseLabel[] = "Close";
inline constexpr char kLegacyPageUrl[] =
    "https://www.fernhollow.example/linkmoor-technician-legacy.html";
inline constexpr char kNoWorkFolderText[] = "Error while unpacking modules in template folder";

}  // namespace linkmoor
