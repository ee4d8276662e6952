#pragma once
// The lines the installer engine writes to the launcher's log (the log writer adds CR LF; an
// argument such as a path follows the literal directly). Portable: the package tool reads logs
// with the same texts.

namespace linkmoor {

inline constexpr char kLogNoAdmin[] = "Error: No such admin privilege";
inline constexpr char kLogServiceManager[] = "Error: Init Service Control Manager";
inline constexpr char kLogOsVersion[] = "Error: System OS version";
inline constexpr char kLog64BitSystem[] = "Error: Install 32-bit package into 64-bit system";
inline constexpr char kLogInitInstaller[] = "Error: Init installer";
// After kLogInitInstaller, when the launcher's own file lies on a drive letter this session does
// not have (a network drive mapped without elevation); followed by the letter and colon.
inline constexpr char kLogOwnDriveMissing[] = "Error: Launcher's drive not available: ";
inline constexpr char kLogRunOnceCreated[] = "Create 'RunOnce' registry key entry";
inline constexpr char kLogCreateDirectory[] = "CreateDirectory: ";
inline constexpr char kLogInstallFile[] = "Install File: ";
inline constexpr char kLogDeleteFile[] = "DeleteFile: ";
inline constexpr char kLogDeleteDirectory[] = "DeleteDirectory: ";
inline constexpr char kLogRemoveInstallFiles[] = "RemoveInstallFiles: ";
inline constexpr char kLogRebootRequired[] = "Warning: === Reboot required to complete operation ===";
// The directory variant carries one blank more, then the error as "(0x%x)".
inline constexpr char kLogRebootRequiredWithError[] =
    "Warning: === Reboot required to complete operation === ";

}  // namespace linkmoor
