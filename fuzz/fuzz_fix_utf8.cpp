// fix_utf8 on arbitrary bytes: it must never read past its input, and its
// output must be single-byte guide text no more than twice as long.
#include "transliteration.hpp"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that ASan sees any read past the end.
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string out = "stale contents that must be replaced";
    fix_utf8(input, out);

    if (out.size() > 2 * input.size()) __builtin_trap();
    for (const char c : out)
        if (!is_guide_byte(static_cast<unsigned char>(c))) __builtin_trap();
    if (is_ascii(input) && out != input) __builtin_trap();

    // The other forms must agree. The buffer has exactly the room promised,
    // so that ASan sees any write past it.
    std::string field = input;
    fix_utf8(field);
    if (field != out) __builtin_trap();
    const std::unique_ptr<char[]> buffer(new char[max_fixed_size(size)]);
    const char* end = fix_utf8(input, buffer.get());
    if (std::string_view(buffer.get(), static_cast<std::size_t>(end - buffer.get())) != out) __builtin_trap();
    return 0;
}
