// Finding one's way through UTF-8 text without converting it: where a
// stretch of ASCII ends, and how long a well-formed character is.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(GUIDEPACK_PORTABLE)
#include <emmintrin.h>
#endif

// The position of the first byte at or above 0x80 from `p` on, or `size`.
// Most text is ASCII: it goes sixteen bytes at a time where SSE2 is there,
// then eight.
inline std::size_t skip_ascii(const unsigned char* bytes, std::size_t size, std::size_t p) {
#if defined(__SSE2__) && !defined(GUIDEPACK_PORTABLE)
    for (; p + 16 <= size; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p));
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
        if (high != 0) return p + static_cast<std::size_t>(std::countr_zero(high));
    }
#endif
    for (; p + 8 <= size; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + p, sizeof word);
        const std::uint64_t high = word & 0x8080808080808080ULL;
        if (high == 0) continue;
        const int first_high_bit =
            std::endian::native == std::endian::little ? std::countr_zero(high) : std::countl_zero(high);
        return p + static_cast<std::size_t>(first_high_bit) / 8;
    }
    while (p < size && bytes[p] < 0x80) ++p;
    return p;
}

// The length of the well-formed UTF-8 character at `bytes`, of which `left`
// bytes remain (at least one); 0 when no character starts there: a stray
// continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF or a character cut short.
inline std::size_t well_formed_length(const unsigned char* bytes, std::size_t left) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) return 1;
    const auto continues = [&](std::size_t at, unsigned char low = 0x80, unsigned char high = 0xBF) {
        return at < left && bytes[at] >= low && bytes[at] <= high;
    };
    if (lead < 0xC2) return 0;
    if (lead < 0xE0) return continues(1) ? 2 : 0;
    if (lead < 0xF0) {
        const bool second = lead == 0xE0 ? continues(1, 0xA0) : lead == 0xED ? continues(1, 0x80, 0x9F) : continues(1);
        return second && continues(2) ? 3 : 0;
    }
    if (lead > 0xF4) return 0;
    const bool second = lead == 0xF0 ? continues(1, 0x90) : lead == 0xF4 ? continues(1, 0x80, 0x8F) : continues(1);
    return second && continues(2) && continues(3) ? 4 : 0;
}
