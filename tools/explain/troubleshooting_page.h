#pragma once
// The technicians' troubleshooting page (docs/troubleshooting.md), made from the launcher's own
// explanations of its boxes, raising places and error codes, so that the page and the package
// tool's explain command always say the same.

#include <iosfwd>

namespace linkmoor::tools {

void WriteTroubleshootingPage(std::ostream& out);

}  // namespace linkmoor::tools
