#pragma once
// The environment the customer module starts with.

#include <string>

namespace linkmoor {

// Made from the machine's own settings, never from the launcher's environment, which the user's
// unelevated programs choose (values in HKCU\Environment reach every program the user starts):
// - the system's variables, as the system defines them for no user in particular (what
//   CreateEnvironmentBlock gives without a user's token), with SystemRoot and windir as the
//   system names its Windows folder;
// - PATH: the system folder, the Windows folder, System32\Wbem and
//   System32\WindowsPowerShell\v1.0, as the system names them;
// - the account's profile variables, each from the system's own query: USERPROFILE, APPDATA and
//   LOCALAPPDATA as the shell names those folders, HOMEDRIVE and HOMEPATH from the profile folder,
//   USERNAME and USERDOMAIN of the process's account, COMPUTERNAME;
// - TEMP and TMP: the module's temporary folder in `runFolder`;
// - OPENSSL_CONF, OPENSSL_MODULES and OPENSSL_ENGINES: the empty configuration file and its
//   folder in `runFolder`, so that OpenSSL reads only that empty configuration and loads no
//   module from a place someone else chose (its compiled-in folders among them).
// A variable whose query fails is left out. A block of wide strings, for CreateProcess with
// CREATE_UNICODE_ENVIRONMENT, so that no variable loses characters outside the code page.
std::wstring CustomerModuleEnvironment(const std::string& runFolder);

}  // namespace linkmoor
