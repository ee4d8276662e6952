#pragma once
// Why the launcher's reader refuses a file as damaged, in words. The reader only says "missing
// or damaged"; this walks the same steps on the same bytes, with the layout's own rules, and
// names the first one that fails. The verdict stays the reader's: this only finds the words.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor {
class CPackedTools;
}

namespace linkmoor::tools {

// The reason for a file the reader has refused as damaged, as a phrase ("the body digest is
// wrong: ..."). `inflater` is a constructed reader whose Inflate is used; its index is untouched.
std::string WhyDamaged(const std::vector<uint8_t>& file, CPackedTools& inflater);

}  // namespace linkmoor::tools
