#include "guide/guide_record.hpp"

#include "guide/transliteration.hpp"

#include <algorithm>

namespace {

void append_u16(std::string& out, std::uint16_t value) {
    unsigned char bytes[guide_format::string_length_size];
    guide_format::encode_u16(value, bytes);
    out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

} // namespace

std::string_view convert_timestamp(std::string_view stamp) {
    return stamp.substr(0, guide_format::timestamp_length);
}

void append_guide_string(std::string& out, text_view field) {
    const std::size_t length_at = out.size();
    append_u16(out, 0);
    if (!field) return;
    const std::size_t text_at = out.size();
    out.resize(text_at + max_fixed_size(field->size()));
    const char* end = fix_utf8(*field, out.data() + text_at);
    // A longer string keeps its first 65,535 bytes rather than wrapping the count.
    const std::size_t size = std::min(static_cast<std::size_t>(end - (out.data() + text_at)),
                                      guide_format::max_string_length);
    out.resize(text_at + size);
    guide_format::encode_u16(static_cast<std::uint16_t>(size),
                             reinterpret_cast<unsigned char*>(out.data() + length_at));
}

std::string_view stamp_converter::operator()(std::string_view stamp) {
    if (!zone_) return convert_timestamp(stamp);
    if (zone_->convert(stamp, converted_)) return {converted_, sizeof converted_};
    ++unreadable_;
    return convert_timestamp(stamp);
}

void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps) {
    for (const program_field field : record_fields) {
        text_view text = view_of(program[field]);
        if (text && (field == program_field::start || field == program_field::stop))
            text = stamps(*text);
        append_guide_string(out, text);
    }
}
