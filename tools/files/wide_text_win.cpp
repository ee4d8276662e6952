// UTF-8 and UTF-16, through the system's own conversions.

#include "tools/files/wide_text.h"

#include <windows.h>

namespace linkmoor::tools {

bool WideFromUtf8(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (length <= 0) return false;
    wide.resize(size_t(length));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), &wide[0], length);
    return true;
}

std::string Utf8FromWide(const wchar_t* wide, size_t length) {
    if (length == 0) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, int(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(size_t(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, int(length), &text[0], size, nullptr, nullptr);
    return text;
}

}  // namespace linkmoor::tools
