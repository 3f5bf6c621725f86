#include "transliteration.hpp"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// What a byte after a 0xC3 lead byte becomes; nothing for any byte not listed.
char* put_latin1(unsigned char after_c3, char* out) {
    switch (after_c3) {
    case 0x87: *out++ = 'C'; break; // Ç: the device has no capitals with accents
    case 0xA0: case 0xA2: case 0xA7: case 0xA8: case 0xA9: case 0xAA:
    case 0xAB: case 0xAE: case 0xAF: case 0xB4: case 0xB9:
        // à â ç è é ê ë î ï ô ù: the Latin-1 byte is the UTF-8 one plus 0x40
        *out++ = static_cast<char>(after_c3 + 0x40);
        break;
    case 0xBD: *out++ = 'o'; *out++ = 'e'; break;
    default: break;
    }
    return out;
}

} // namespace

char* fix_utf8(std::string_view text, char* out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t p = 0;
    while (p < size) {
        // Most text is ASCII: copy it sixteen, then eight bytes at a time. A
        // block is stored whole even when only its first bytes are ASCII; the
        // rest is written over next. There is room: the output may take twice
        // the input.
#if defined(__SSE2__)
        while (p + 16 <= size) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
            const std::size_t ascii = high == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(high));
            out += ascii;
            p += ascii;
            if (ascii < 16) break;
        }
#endif
        while (p + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, bytes + p, sizeof word);
            std::memcpy(out, &word, sizeof word);
            const std::uint64_t high = word & 0x8080808080808080ULL;
            const int first_high_bit = std::endian::native == std::endian::little
                                           ? std::countr_zero(high)
                                           : std::countl_zero(high);
            const std::size_t ascii = static_cast<std::size_t>(first_high_bit) / 8; // 8 when none
            out += ascii;
            p += ascii;
            if (ascii < 8) break;
        }
        if (p == size) break;
        if (bytes[p] < 0x80) {
            *out++ = static_cast<char>(bytes[p++]);
            continue;
        }
        // The byte after a lead byte is consumed with it, whatever it is.
        if (bytes[p] == 0xC2) {
            ++p;
            if (p < size && (bytes[p] == 0xAB || bytes[p] == 0xBB)) *out++ = '"';
        }
        if (p < size && bytes[p] == 0xC3) {
            ++p;
            if (p < size) out = put_latin1(bytes[p], out);
        } else if (p < size && bytes[p] == 0xBD) {
            *out++ = 'o';
            *out++ = 'e';
        }
        if (p >= size) break;
        ++p;
    }
    return out;
}

void fix_utf8(std::string_view text, std::string& out) {
    out.resize(max_fixed_size(text.size()));
    char* end = fix_utf8(text, out.data());
    out.resize(static_cast<std::size_t>(end - out.data()));
}

void fix_utf8(std::string& field) {
    std::string converted;
    fix_utf8(field, converted);
    field.swap(converted);
}
