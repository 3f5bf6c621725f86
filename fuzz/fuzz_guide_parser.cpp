// The guide file parse-back on arbitrary bytes: it either rejects them at an
// offset inside the input, or returns records that encode back to exactly
// the bytes it was given (a valid guide has no slack and no trailer). The
// HTML page of what it returns holds no markup from the guide: its one
// script element is its own.
#include "format/guide_format.hpp"
#include "dump/dump_html.hpp"
#include "dump/guide_parser.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

namespace gf = guide_format;

void append_count(std::string& out, std::size_t count) {
    unsigned char bytes[gf::count_size];
    gf::encode_i32(static_cast<std::int32_t>(count), bytes);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void append_string(std::string& out, std::string_view text) {
    if (text.size() > gf::max_string_length) __builtin_trap();
    unsigned char bytes[gf::string_length_size];
    gf::encode_u16(static_cast<std::uint16_t>(text.size()), bytes);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
    out.append(text);
}

std::string encode(const guide& g) {
    std::string out;
    out.append(g.magic).append(g.version).append(g.timestamp);
    append_count(out, g.channels.size());
    for (const guide_channel& channel : g.channels) {
        append_string(out, channel.icon);
        append_string(out, channel.display_name);
        append_count(out, channel.programmes.size());
        for (const guide_programme& programme : channel.programmes)
            for (const std::string_view text : programme.strings) append_string(out, text);
    }
    return out;
}

void check_page(const guide& g) {
    char* page = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&page, &size);
    if (out == nullptr) return;
    print_guide_html(g, {}, out);
    std::fclose(out);
    const std::string_view text(page, size);
    const std::size_t script = text.find("<script");
    if (script == std::string_view::npos || text.find("<script", script + 1) != std::string_view::npos)
        __builtin_trap();
    std::free(page);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        const guide g = parse_guide(bytes);
        if (g.magic != gf::magic) __builtin_trap();
        if (encode(g) != bytes) __builtin_trap();
        check_page(g);
    } catch (const guide_error& error) {
        if (error.offset() > size) __builtin_trap();
    }
    return 0;
}
