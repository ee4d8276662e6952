#include "launcher/redirection_trust.h"

#include <windows.h>

namespace linkmoor {

namespace {

constexpr char kKernelDll[] = "kernel32.dll";
constexpr char kSetProcessMitigationPolicy[] = "SetProcessMitigationPolicy";
// PROCESS_MITIGATION_POLICY's ProcessRedirectionTrustPolicy and the flag of its policy record
// that enforces it (the toolchain's headers may predate both).
constexpr int kRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

using SetProcessMitigationPolicyFn = BOOL(WINAPI*)(int policy, void* buffer, SIZE_T length);

}  // namespace

bool EnforceRedirectionTrust() {
    HMODULE kernel = ::GetModuleHandleA(kKernelDll);
    if (!kernel) return false;
    auto setPolicy = reinterpret_cast<SetProcessMitigationPolicyFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, kSetProcessMitigationPolicy)));
    if (!setPolicy) return false;
    DWORD flags = kEnforceRedirectionTrust;
    return setPolicy(kRedirectionTrustPolicy, &flags, sizeof(flags)) != FALSE;
}

}  // namespace linkmoor
