// Well-formed UTF-8 (RFC 3629): the shortest form, no surrogates, nothing above U+10FFFF.

#include "tools/files/utf8.h"

#include <cstdio>

namespace linkmoor::tools {

size_t Utf8SequenceAt(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;
        if (first == 0xED) high = 0x9F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

bool IsUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceAt(text, at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

size_t Utf16Length(const std::string& text) {
    constexpr size_t kSurrogatePairSequence = 4;  // the UTF-8 length of a character above U+FFFF
    size_t units = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceAt(text, at);
        units += length == kSurrogatePairSequence ? 2 : 1;
        at += length == 0 ? 1 : length;
    }
    return units;
}

std::string ControlEscape(unsigned char c) {
    char escaped[8];
    std::snprintf(escaped, sizeof(escaped), "\\u%04x", unsigned(c));
    return escaped;
}

std::string ShownName(const std::string& name) {
    std::string shown;
    for (size_t at = 0; at < name.size();) {
        const size_t length = Utf8SequenceAt(name, at);
        const unsigned char c = static_cast<unsigned char>(name[at]);
        if (length == 0) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", unsigned(c));
            shown += escaped;
            ++at;
            continue;
        }
        if (c < 0x20 || c == 0x7F) {
            shown += ControlEscape(c);
        } else if (c == 0xC2 && static_cast<unsigned char>(name[at + 1]) < 0xA0) {
            // U+0080 to U+009F: the second byte is the character's code.
            shown += ControlEscape(static_cast<unsigned char>(name[at + 1]));
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            shown.append(name, at, length);
        }
        at += length;
    }
    return shown;
}

namespace {

constexpr uint8_t kUtf16LeMark[] = {0xFF, 0xFE};
constexpr uint8_t kUtf16BeMark[] = {0xFE, 0xFF};
// Enough of a file to tell where its zero bytes stand.
constexpr size_t kSniffedBytes = 4096;

}  // namespace

TextEncoding DetectTextEncoding(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == kUtf16LeMark[0] && bytes[1] == kUtf16LeMark[1]) return TextEncoding::kUtf16Le;
    if (bytes.size() >= 2 && bytes[0] == kUtf16BeMark[0] && bytes[1] == kUtf16BeMark[1]) return TextEncoding::kUtf16Be;
    size_t evenZeros = 0, oddZeros = 0;
    for (size_t i = 0; i < bytes.size() && i < kSniffedBytes; ++i)
        if (bytes[i] == 0) ++(i % 2 ? oddZeros : evenZeros);
    if (bytes.size() % 2 == 0 && oddZeros > 0 && evenZeros == 0) return TextEncoding::kUtf16Le;
    if (bytes.size() % 2 == 0 && evenZeros > 0 && oddZeros == 0) return TextEncoding::kUtf16Be;
    return TextEncoding::kUtf8;
}

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::kUtf16Le: return "UTF-16 little-endian";
        case TextEncoding::kUtf16Be: return "UTF-16 big-endian";
        case TextEncoding::kUtf8: break;
    }
    return "UTF-8";
}

bool Utf8FromUtf16(const std::vector<uint8_t>& bytes, TextEncoding encoding, std::string& text) {
    text.clear();
    if (bytes.size() % 2 != 0) return false;
    const bool little = encoding == TextEncoding::kUtf16Le;
    const auto unit = [&](size_t i) {
        return little ? uint32_t(bytes[i] | bytes[i + 1] << 8) : uint32_t(bytes[i] << 8 | bytes[i + 1]);
    };
    size_t at = 0;
    if (bytes.size() >= 2 && unit(0) == 0xFEFF) at = 2;
    for (; at < bytes.size(); at += 2) {
        uint32_t code = unit(at);
        if (code >= 0xDC00 && code <= 0xDFFF) return false;
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (at + 4 > bytes.size()) return false;
            const uint32_t low = unit(at + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        }
        if (code < 0x80) {
            text += char(code);
        } else if (code < 0x800) {
            text += char(0xC0 | code >> 6);
            text += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += char(0xE0 | code >> 12);
            text += char(0x80 | (code >> 6 & 0x3F));
            text += char(0x80 | (code & 0x3F));
        } else {
            text += char(0xF0 | code >> 18);
            text += char(0x80 | (code >> 12 & 0x3F));
            text += char(0x80 | (code >> 6 & 0x3F));
            text += char(0x80 | (code & 0x3F));
        }
    }
    return true;
}

}  // namespace linkmoor::tools
