// Decimal digits read by hand: a large listing has close to a million time
// stamps, and a general parser would cost more than the rest of the reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The value of the `count` digits of `text` from `at` (all there), or -1
// when one of them is not a digit.
inline int read_digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit > 9) return -1;
        value = value * 10 + static_cast<int>(digit);
    }
    return value;
}

// The number `text` writes in decimal digits alone (no sign, no space, at
// least one digit), when it is no larger than `limit`.
inline std::optional<std::uint64_t> read_decimal(std::string_view text, std::uint64_t limit) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
        if (digit > 9 || value > limit / 10) return std::nullopt;
        value *= 10;
        if (digit > limit - value) return std::nullopt;
        value += digit;
    }
    return value;
}
