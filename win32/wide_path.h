#pragma once
// Narrow paths and names handed to the system's wide calls.

#include <windows.h>

#include <string>

namespace linkmoor {

// `text` (in the code page `codePage`, by default the ANSI one) in UTF-16; empty when it is empty
// or cannot be converted.
inline std::wstring WidePath(const std::string& text, UINT codePage = CP_ACP) {
    const int length = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(size_t(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, &wide[0], length);
    wide.pop_back();  // the terminating zero
    return wide;
}

}  // namespace linkmoor
