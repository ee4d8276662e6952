#pragma once
// Waiting out a hold that passes by itself: on-access security software opens a file it has just
// seen written, without sharing, for a moment; a name it keeps pending deletion stays for as long.
// An operation refused for such a reason is tried again after growing pauses, within a bound.

#include <windows.h>

namespace linkmoor {

struct RetryPauses {
    DWORD firstMs;    // the pause after the first failed attempt
    DWORD longestMs;  // each pause doubles the one before, up to this
    DWORD totalMs;    // the pauses together never exceed this; the last attempt comes at its end
};

struct RetryOutcome {
    bool succeeded = false;
    unsigned attempts = 0;
    DWORD error = ERROR_SUCCESS;  // the last failed attempt's last error
};

// Calls `attempt` (true on success; on failure the thread's last error tells why) until it
// succeeds, fails with an error `isPassing` does not accept, or the pauses are used up. The
// thread's last error is the last attempt's when it returns.
template <typename Attempt, typename IsPassing>
RetryOutcome RetryWhilePassing(const RetryPauses& pauses, Attempt attempt, IsPassing isPassing) {
    RetryOutcome outcome;
    DWORD paused = 0;
    DWORD pause = pauses.firstMs;
    for (;;) {
        ++outcome.attempts;
        if (attempt()) {
            outcome.succeeded = true;
            return outcome;
        }
        outcome.error = ::GetLastError();
        if (!isPassing(outcome.error) || paused >= pauses.totalMs) break;
        const DWORD step = pause < pauses.totalMs - paused ? pause : pauses.totalMs - paused;
        ::Sleep(step);
        paused += step;
        pause = pause < pauses.longestMs / 2 ? pause * 2 : pauses.longestMs;
    }
    ::SetLastError(outcome.error);
    return outcome;
}

}  // namespace linkmoor
