#pragma once
// The lines the customer-module run writes to the launcher's log, in the order of its phases (the
// log writer adds CR LF; an argument follows the literal directly). Portable: the package tool
// reads logs with the same texts.

namespace linkmoor {

inline constexpr char kProductBanner[] = "Linkmoor Technician Edition - Customer Module Version 2.5";
// Filled with major version, minor version, build number and the architecture's log label.
inline constexpr char kSystemLineFormat[] = "Windows %d.%d build %d %s";
inline constexpr char kUnpackBanner[] = "******* unpack files **********";
inline constexpr char kLogSourceFile[] = "source file:";  // followed by the package entry name
inline constexpr char kLaunchBanner[] = "******* launch CM **********";
inline constexpr char kLogLaunchPath[] = "Launch path: ";
inline constexpr char kLogTechnicianId[] = "id: ";
// Only when starting the customer module had to wait for a hold on its file (security software
// scanning it): the last refusal's error and the number of attempts, whether the last succeeded
// or not.
inline constexpr char kLogLaunchRetried[] = "Launch retried: ";
inline constexpr char kLaunchRetriedFormat[] = "(0x%x) %u attempts";
inline constexpr char kCleanupBanner[] = "******* cleanup files *******";
inline constexpr char kEndBanner[] = "******* end **********";

}  // namespace linkmoor
