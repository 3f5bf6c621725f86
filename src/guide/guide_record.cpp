#include "guide/guide_record.hpp"

#include "guide/transliteration.hpp"

#include <algorithm>

namespace {

void append_u16(std::string& out, std::uint16_t value) {
    unsigned char bytes[guide_format::string_length_size];
    guide_format::encode_u16(value, bytes);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// The single-byte form of `text` after the length written at `length_at`,
// both cut to 65,535 bytes.
void append_fixed(std::string& out, std::size_t length_at, std::string_view text) {
    const std::size_t text_at = out.size();
    out.resize(text_at + max_fixed_size(text.size()));
    const char* end = fix_utf8(text, out.data() + text_at);
    // A longer string keeps its first 65,535 bytes rather than wrapping the count.
    const std::size_t size = std::min(static_cast<std::size_t>(end - (out.data() + text_at)),
                                      guide_format::max_string_length);
    out.resize(text_at + size);
    guide_format::encode_u16(static_cast<std::uint16_t>(size),
                             reinterpret_cast<unsigned char*>(out.data() + length_at));
}

} // namespace

std::string_view convert_timestamp(std::string_view stamp) {
    return stamp.substr(0, guide_format::timestamp_length);
}

void append_guide_string(std::string& out, text_view field) {
    const std::size_t length_at = out.size();
    append_u16(out, 0);
    if (field) append_fixed(out, length_at, *field);
}

void append_guide_string(std::string& out, text_view field, text_conversion& text) {
    const std::size_t length_at = out.size();
    append_u16(out, 0);
    if (field) append_fixed(out, length_at, text.convert(*field));
}

std::string_view stamp_converter::operator()(std::string_view stamp) {
    if (!zone_) return convert_timestamp(stamp);
    if (zone_->convert(stamp, converted_)) return {converted_, sizeof converted_};
    ++unreadable_;
    return convert_timestamp(stamp);
}

namespace {

// Each string of the record, start and stop by `stamps`, goes to `append`.
template <class Append>
void append_record(std::string& out, const program_t& program, stamp_converter& stamps, Append append) {
    for (const program_field field : record_fields) {
        text_view text = view_of(program[field]);
        const bool time = field == program_field::start || field == program_field::stop;
        if (text && time) text = stamps(*text);
        append(out, text, time);
    }
}

} // namespace

void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps) {
    append_record(out, program, stamps, [](std::string& record, text_view text, bool) {
        append_guide_string(record, text);
    });
}

void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps,
                           text_conversion& text) {
    append_record(out, program, stamps, [&text](std::string& record, text_view field, bool time) {
        if (!time) return append_guide_string(record, field, text);
        if (field) text.count(*field);
        append_guide_string(record, field);
    });
}
