#pragma once
// `linkmoor-pack explain`: what a box or a log a customer sends means, from the launcher's own
// register of raising places and its explanations (diagnostics/explanations.h).

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace linkmoor::tools {

// A text or a file that is no box and no log of the launcher.
inline constexpr int kExitNotExplained = 7;

// The most bytes of one text taken from a log (a path, a line of the customer module) that a
// report shows; a longer one is cut there, with its length said.
inline constexpr size_t kLongestShownText = 1024;

// Explains the text of a box as a customer types or pastes it: the generic installation error
// "Module: M Line L Err 0xE" (any letter case, blanks added or missing, with or without its line
// feed or a typed "\n", hexadecimal with or without 0x) or one of the fixed texts (also only its
// beginning). Writes one "key: value" line per fact; false, with nothing written, when the text
// is none of these.
bool ExplainBoxText(const std::string& text, std::ostream& out);

// Explains a launcher log as the launcher writes it (CR LF lines, the customer module's own lines
// mixed in, possibly cut short): whether the run completed, the system, the run folder, the last
// phase reached and where it stopped, every reboot warning, the customer module's lines. `name`
// starts each report line; false, with nothing written, when the bytes are no launcher log.
// Reads any bytes: a log of another 2.x version is read as this version writes its lines; other
// line ends, bytes that are no text, overlong lines and numbers too large for the launcher to have
// written them are shown or named as such in the report.
bool ExplainLog(const std::string& name, const std::vector<uint8_t>& bytes, std::ostream& out);

// The explanation of one installer error, as ExplainBoxText writes it for the generic box.
void WriteErrorExplanation(uint16_t module, uint16_t line, uint32_t code, std::ostream& out);

}  // namespace linkmoor::tools
