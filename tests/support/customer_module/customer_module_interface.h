#pragma once
// What the test customer module and the tests that start it agree on: the environment variables
// that choose its behaviour and the line it writes to its standard error.

namespace linkmoor::test {

inline constexpr char kCmRecordVariable[] = "LINKMOOR_TEST_CM_RECORD";
inline constexpr char kCmModeVariable[] = "LINKMOOR_TEST_CM_MODE";
inline constexpr char kCmReleaseVariable[] = "LINKMOOR_TEST_CM_RELEASE";
inline constexpr char kCmWaitMsVariable[] = "LINKMOOR_TEST_CM_WAIT_MS";
inline constexpr char kCmHelperExeVariable[] = "LINKMOOR_TEST_CM_HELPER_EXE";
inline constexpr char kCmHoldMsVariable[] = "LINKMOOR_TEST_CM_HOLD_MS";

inline constexpr char kCmModeExit[] = "exit";
inline constexpr char kCmModeWait[] = "wait";
inline constexpr char kCmModeHelper[] = "helper";

// Written to standard error, CR LF included, through the handle the module inherited.
inline constexpr char kCustomerModuleStderrLine[] =
    "test customer module: hello from the customer module\r\n";

}  // namespace linkmoor::test
