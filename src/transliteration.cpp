#include "transliteration.hpp"

#include <cstdint>
#include <cstring>

namespace {

// Length of the run of ASCII bytes at the start of `bytes`, eight at a time:
// most listing text is ASCII.
std::size_t ascii_run(const unsigned char* bytes, std::size_t size) {
    std::size_t n = 0;
    for (; n + 8 <= size; n += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + n, sizeof word);
        if (word & 0x8080808080808080ULL) break;
    }
    while (n < size && bytes[n] < 0x80) ++n;
    return n;
}

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
        const std::size_t run = ascii_run(bytes + p, size - p);
        std::memcpy(out, bytes + p, run);
        out += run;
        p += run;
        if (p == size) break;
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
