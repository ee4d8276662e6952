#pragma once
// The customer module's own folders in the run folder: its temporary folder and OpenSSL's folder
// with an empty configuration file. Created inside the protected run folder, they inherit its
// access list. They are no unpacked files: neither is logged, and the clean-up removes them with
// whatever the module left in them before it removes the run folder.

#include <string>

namespace linkmoor {

class CInstaller;

inline constexpr char kModuleTempFolder[] = "temp";   // TEMP and TMP
inline constexpr char kOpenSslFolder[] = "openssl";   // OPENSSL_MODULES and OPENSSL_ENGINES
inline constexpr char kOpenSslConfigFile[] = "openssl.cnf";  // in kOpenSslFolder: OPENSSL_CONF

// Creates both folders and the empty configuration file. A failure is passed over: the module's
// variables still name places inside the run folder, where nobody else can create anything.
void CreateModuleFolders(const std::string& runFolder);

// Removes both folders and everything in them, never following a link found inside; what cannot
// be removed now (a helper of the module still holds it) is left for the next restart, which the
// engine then requires.
void RemoveModuleFolders(CInstaller& engine, const std::string& runFolder);

}  // namespace linkmoor
