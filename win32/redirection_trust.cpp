#include "win32/redirection_trust.h"

#include <windows.h>

#include "win32/entry_point.h"

namespace linkmoor {

namespace {

constexpr char kSetProcessMitigationPolicy[] = "SetProcessMitigationPolicy";
// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and the flag of its policy record
// that enforces it (the toolchain's headers may predate both).
constexpr int kRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int policy, void* buffer, SIZE_T length);

}  // namespace

bool EnforceRedirectionTrust() {
    auto setPolicy = LoadedEntryPoint<SetProcessMitigationPolicyFn>(kKernel32Dll,
                                                                    kSetProcessMitigationPolicy);
    if (!setPolicy) return false;
    DWORD flags = kEnforceRedirectionTrust;
    return setPolicy(kRedirectionTrustPolicy, &flags, sizeof(flags)) != FALSE;
}

}  // namespace linkmoor
