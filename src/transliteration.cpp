#include "transliteration.hpp"

#include <algorithm>

namespace {

// What a byte after a 0xC3 lead byte becomes; nothing for any byte not listed.
void append_latin1(unsigned char after_c3, std::string& out) {
    switch (after_c3) {
    case 0x87: out.push_back('C'); break; // Ç: the device has no capitals with accents
    case 0xA0: case 0xA2: case 0xA7: case 0xA8: case 0xA9: case 0xAA:
    case 0xAB: case 0xAE: case 0xAF: case 0xB4: case 0xB9:
        // à â ç è é ê ë î ï ô ù: the Latin-1 byte is the UTF-8 one plus 0x40
        out.push_back(static_cast<char>(after_c3 + 0x40));
        break;
    case 0xBD: out.append("oe"); break;
    default: break;
    }
}

} // namespace

void fix_utf8(std::string_view text, std::string& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    // Most text is plain ASCII: copy it in one go.
    const std::size_t ascii = static_cast<std::size_t>(
        std::find_if(bytes, bytes + size, [](unsigned char b) { return b >= 0x80; }) - bytes);
    out.assign(text.substr(0, ascii));
    if (ascii == size) return;
    out.reserve(size + (size - ascii));

    std::size_t p = ascii;
    while (p < size) {
        if (bytes[p] < 0x80) {
            out.push_back(static_cast<char>(bytes[p]));
            ++p;
            continue;
        }
        // The byte after a lead byte is consumed with it, whatever it is.
        if (bytes[p] == 0xC2) {
            ++p;
            if (p < size && (bytes[p] == 0xAB || bytes[p] == 0xBB)) out.push_back('"');
        }
        if (p < size && bytes[p] == 0xC3) {
            ++p;
            if (p < size) append_latin1(bytes[p], out);
        } else if (p < size && bytes[p] == 0xBD) {
            out.append("oe");
        }
        if (p >= size) break;
        ++p;
    }
}

void fix_utf8(std::string& field) {
    std::string converted;
    fix_utf8(field, converted);
    field.swap(converted);
}
