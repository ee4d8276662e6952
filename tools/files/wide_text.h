#pragma once
// The package tool's text is UTF-8 on every system; the wide Windows calls take UTF-16.

#include <string>

namespace linkmoor::tools {

// UTF-16 for UTF-8 text; false (and `wide` empty) when `text` is no valid UTF-8.
bool WideFromUtf8(const std::string& text, std::wstring& wide);

// UTF-8 for `length` UTF-16 units.
std::string Utf8FromWide(const wchar_t* wide, size_t length);
inline std::string Utf8FromWide(const std::wstring& wide) { return Utf8FromWide(wide.data(), wide.size()); }

}  // namespace linkmoor::tools
