#pragma once
// What the run's tests share beyond the Win32 test support: the test customer module, placed
// where the run starts it, and what it records and writes.

#include <map>
#include <string>

#include "customer_module_interface.h"

namespace linkmoor::test {


// The test customer module's record: key=value lines; empty when the file is missing.
std::map<std::string, std::string> ReadRecord(const std::string& path);

// Copies the test customer module to `folder` under the customer-module GUI's name.
bool PlaceCustomerModule(const std::string& folder);

}  // namespace linkmoor::test
