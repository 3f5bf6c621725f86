// fix_utf8 on arbitrary bytes: it must never read past its input, and its
// output must be single-byte guide text no more than twice as long.
#include "guide/transliteration.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace {

bool is_guide_byte(unsigned char byte) {
    switch (byte) {
    case 0xE0: case 0xE2: case 0xE7: case 0xE8: case 0xE9: case 0xEA:
    case 0xEB: case 0xEE: case 0xEF: case 0xF4: case 0xF9:
        return true;
    default:
        return byte < 0x80;
    }
}

bool is_ascii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// fix_utf8 as the guide records run it: `offset` bytes into a buffer with
// exactly the room promised after that, so that ASan sees any write past it.
std::string converted(std::string_view input, std::size_t offset) {
    const std::unique_ptr<char[]> buffer(new char[offset + max_fixed_size(input.size())]);
    char* const start = buffer.get() + offset;
    char* const end = fix_utf8(input, start);
    return std::string(start, end);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that ASan sees any read past the end.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string out = converted(input, 0);

    if (out.size() > 2 * input.size()) __builtin_trap();
    for (const char c : out)
        if (!is_guide_byte(static_cast<unsigned char>(c))) __builtin_trap();
    if (is_ascii(input) && out != input) __builtin_trap();

    // Where the output starts must not change it: a record's text seldom
    // starts on an aligned address.
    if (converted(input, 1) != out) __builtin_trap();
    if (converted(input, 3) != out) __builtin_trap();
    return 0;
}
