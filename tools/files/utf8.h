#pragma once
// UTF-8 as the package tool checks it: entry names must be UTF-8 (the Windows build writes them
// through the wide calls), and JSON output must be.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::tools {

// The length of the well-formed UTF-8 sequence at `at` (1 to 4), or 0 when the bytes there are
// no such sequence (a stray continuation byte, an overlong form, a surrogate, a cut sequence).
size_t Utf8SequenceAt(const std::string& text, size_t at);

bool IsUtf8(const std::string& text);

// The number of UTF-16 units the UTF-8 `text` becomes (a character above U+FFFF takes two);
// a byte that starts no well-formed sequence counts as one.
size_t Utf16Length(const std::string& text);

// `\u00XX` for a control character of code `c` (below 0x20, 0x7F, or 0x80 to 0x9F for C1), as
// JSON escapes it.
std::string ControlEscape(unsigned char c);

// A name as the text output shows it, one line whatever it holds: control characters (C0, DEL and
// C1) as `\u00XX`, a backslash doubled, as JSON writes them, and a byte that is no UTF-8 as `\xNN`.
// Escape sequences in a received package never reach the technician's terminal.
std::string ShownName(const std::string& name);

// Text files written on Windows are often UTF-16 (PowerShell 5's `>` and Out-File, Notepad's
// "Unicode"). The encoding of `bytes`: by its byte order mark, or without one by where the zero
// bytes of ASCII text stand (all at odd offsets: little-endian; all at even ones: big-endian).
enum class TextEncoding { kUtf8, kUtf16Le, kUtf16Be };
TextEncoding DetectTextEncoding(const std::vector<uint8_t>& bytes);
const char* EncodingName(TextEncoding encoding);  // "UTF-16 little-endian", ...

// UTF-8 for UTF-16 text in the given byte order (a byte order mark dropped); false when it is no
// well-formed UTF-16 (an odd length, a lone surrogate).
bool Utf8FromUtf16(const std::vector<uint8_t>& bytes, TextEncoding encoding, std::string& text);

}  // namespace linkmoor::tools
