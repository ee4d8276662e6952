#pragma once
// Reading typed box texts and log lines one character at a time: each step looks at every byte
// at most once, never throws and never recurses, whatever the text holds or however long it is.

#include <cstdint>
#include <optional>
#include <string_view>

namespace linkmoor::tools {

// Takes `prefix` off the front of `text` when it starts with it.
inline bool TakePrefix(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

inline int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Takes the run of digits of `base` (10 or 16) off the front of `text` and returns it.
inline std::string_view TakeDigits(std::string_view& text, int base) {
    size_t count = 0;
    while (count < text.size()) {
        const int value = DigitValue(text[count]);
        if (value < 0 || value >= base) break;
        ++count;
    }
    const std::string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}

// The value of a run of digits of `base`; nothing when the run is empty or its value exceeds
// `limit`, however many digits it has.
inline std::optional<uint64_t> DigitsValue(std::string_view digits, int base, uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        const int digit = DigitValue(c);
        if (digit < 0 || digit >= base || uint64_t(digit) > limit ||
            value > (limit - uint64_t(digit)) / uint64_t(base))
            return std::nullopt;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    return value;
}

}  // namespace linkmoor::tools
