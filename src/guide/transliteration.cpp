#include "guide/transliteration.hpp"

#include "guide/utf8_scan.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && !defined(GUIDEPACK_PORTABLE)
#include <emmintrin.h>
#endif

namespace {

// What a byte after a 0xC3 lead byte becomes: up to two bytes.
struct latin1_output {
    char bytes[2];
    unsigned char size;
};

constexpr std::array<latin1_output, 256> make_after_c3_table() {
    std::array<latin1_output, 256> table{}; // nothing for any byte not listed
    table[kept_c_cedilla] = {{'C', 0}, 1}; // Ç: the device has no capitals with accents
    // à â ç è é ê ë î ï ô ù: the Latin-1 byte is the UTF-8 one plus 0x40
    for (const unsigned char b : kept_latin1_letters) table[b] = {{static_cast<char>(b + 0x40), 0}, 1};
    table[0xBD] = {{'o', 'e'}, 2};
    return table;
}

constexpr std::array<latin1_output, 256> after_c3 = make_after_c3_table();

// Both bytes are always stored, so that no branch depends on the text; the
// output has room for two bytes per pair of input bytes.
char* put_latin1(unsigned char byte, char* out) {
    const latin1_output& o = after_c3[byte];
    out[0] = o.bytes[0];
    out[1] = o.bytes[1];
    return out + o.size;
}

// Platform seam: SSE2 is x86's; elsewhere, or with GUIDEPACK_PORTABLE, the
// portable word copy in copy_ascii does all the work. Copies sixteen-byte
// blocks of ASCII; false when it stopped at a byte at or above 0x80.
#if defined(__SSE2__) && !defined(GUIDEPACK_PORTABLE)
bool copy_ascii_blocks(const unsigned char* bytes, std::size_t size, std::size_t& p, char*& out) {
    while (p + 16 <= size) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
        const auto high = static_cast<unsigned>(_mm_movemask_epi8(block));
        const std::size_t ascii = high == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(high));
        out += ascii;
        p += ascii;
        if (ascii < 16) return false;
    }
    return true;
}
#else
bool copy_ascii_blocks(const unsigned char*, std::size_t, std::size_t&, char*&) { return true; }
#endif

// Copies the ASCII run at p, up to the first byte at or above 0x80 or the
// end. Most text is ASCII: it goes sixteen (where SSE2 is there), then eight
// bytes at a time. A block is stored whole even when only its first bytes are
// ASCII; the rest is written over next. There is room: the output may take
// twice the input.
void copy_ascii(const unsigned char* bytes, std::size_t size, std::size_t& p, char*& out) {
    if (!copy_ascii_blocks(bytes, size, p, out)) return;
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
        if (ascii < 8) return;
    }
    while (p < size && bytes[p] < 0x80) *out++ = static_cast<char>(bytes[p++]);
}

// Whether fix_utf8 writes nothing for the well-formed character of `size`
// bytes at `c`.
bool writes_nothing_for(const unsigned char* c, std::size_t size) {
    if (size == 2 && c[0] == 0xC3) return after_c3[c[1]].size == 0;
    if (size == 2 && c[0] == 0xC2 && (c[1] == 0xAB || c[1] == 0xBB)) return false;
    return std::find(c + 1, c + size, 0xBD) == c + size; // a 0xBD byte yields "oe"
}

} // namespace

char* fix_utf8(std::string_view text, char* out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t p = 0;
    while (true) {
        copy_ascii(bytes, size, p, out);
        if (p == size) break;
        const unsigned char lead = bytes[p];
        // The usual case first: an accented letter, two bytes.
        if (lead == 0xC3 && p + 1 < size) {
            out = put_latin1(bytes[p + 1], out);
            p += 2;
            continue;
        }
        if (lead != 0xC2 && lead != 0xC3 && lead != 0xBD) {
            ++p; // dropped
            continue;
        }
        // The byte after a lead byte is consumed with it, whatever it is.
        if (lead == 0xC2) {
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

std::uint64_t count_dropped_characters(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::uint64_t dropped = 0;
    for (std::size_t p = skip_ascii(bytes, size, 0); p < size; p = skip_ascii(bytes, size, p)) {
        const std::size_t length = well_formed_length(bytes + p, size - p);
        if (length == 0) {
            dropped += bytes[p] != 0xBD;
            ++p;
        } else {
            dropped += writes_nothing_for(bytes + p, length);
            p += length;
        }
    }
    return dropped;
}
