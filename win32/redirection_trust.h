#pragma once
// Junctions the user's unelevated programs create are not followed by the elevated launcher.

namespace linkmoor {

// Asks Windows, for the rest of the process's life, not to follow file-system junctions created
// by users who are not administrators (the redirection-trust mitigation). Resolved at run time:
// the call exists from Windows 8 and the mitigation is known to newer Windows only; where either
// is missing (older Windows, Wine) nothing changes. True when Windows took the request.
bool EnforceRedirectionTrust();

}  // namespace linkmoor
