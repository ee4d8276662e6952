#pragma once
// What the run's tests share beyond the Win32 test support: the test customer module, placed
// where the run starts it, and what it records and writes.

#include <map>
#include <string>

namespace linkmoor::test {

// The line the test customer module writes to its standard error.
inline constexpr char kCustomerModuleStderrLine[] =
    "test customer module: hello from the customer module\r\n";

// The test customer module's record: key=value lines; empty when the file is missing.
std::map<std::string, std::string> ReadRecord(const std::string& path);

// Copies the test customer module to `folder` under the customer-module GUI's name.
bool PlaceCustomerModule(const std::string& folder);

}  // namespace linkmoor::test
