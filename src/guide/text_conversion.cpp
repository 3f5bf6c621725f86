#include "guide/text_conversion.hpp"

#include "guide/transliteration.hpp"
#include "guide/utf8_scan.hpp"

#include <array>

namespace {

// After a 0xC3 lead byte, the letters left to fix_utf8: Ç à â ç è é ê ë î ï ô ù.
constexpr std::array<bool, 256> make_kept_after_c3() {
    std::array<bool, 256> kept{};
    kept[kept_c_cedilla] = true;
    for (const unsigned char b : kept_latin1_letters) kept[b] = true;
    return kept;
}

constexpr std::array<bool, 256> kept_after_c3 = make_kept_after_c3();

// Whether the character at `p` (not ASCII) is left to fix_utf8: one of the
// letters above, « or ».
bool left_as_it_is(const unsigned char* bytes, std::size_t size, std::size_t p) {
    if (p + 1 >= size) return false;
    if (bytes[p] == 0xC3) return kept_after_c3[bytes[p + 1]];
    return bytes[p] == 0xC2 && (bytes[p + 1] == 0xAB || bytes[p + 1] == 0xBB);
}

// A converted text longer than this is not kept between strings.
constexpr std::size_t kept_capacity = std::size_t{1} << 20;

} // namespace

void text_conversion::count(std::string_view text) {
    if (counting_) dropped_ += count_dropped_characters(text);
}

std::string_view text_conversion::convert(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    // Most strings are ASCII and need nothing.
    const std::size_t first_high = skip_ascii(bytes, text.size(), 0);
    if (first_high == text.size()) return text;
    if (!transliterator_) {
        count(text.substr(first_high));
        return text;
    }
    return transliterate_runs(text, first_high);
}

// Walks the characters from `first_high` on; copies `text` into converted_
// only once a run shows, each run replaced by its transliteration.
std::string_view text_conversion::transliterate_runs(std::string_view text, std::size_t first_high) {
    if (converted_.capacity() > kept_capacity) std::string().swap(converted_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    bool runs = false;
    std::size_t copied = 0; // text before this is in converted_
    for (std::size_t p = first_high; p < size; p = skip_ascii(bytes, size, p)) {
        // The usual case first: a letter the guide keeps.
        if (left_as_it_is(bytes, size, p)) {
            p += 2;
            continue;
        }
        std::size_t length = well_formed_length(bytes + p, size - p);
        if (length == 0) {
            dropped_ += counting_ && bytes[p] != 0xBD; // as count_dropped_characters counts it
            ++p;
            continue;
        }
        std::size_t end = p + length;
        while (end < size && end - p < longest_run && bytes[end] >= 0x80 && !left_as_it_is(bytes, size, end) &&
               (length = well_formed_length(bytes + end, size - end)) != 0)
            end += length;
        if (!runs) converted_.clear();
        runs = true;
        converted_.append(text, copied, p - copied);
        append_run(text.substr(p, end - p));
        copied = p = end;
    }
    if (!runs) return text;
    converted_.append(text, copied);
    return converted_;
}

void text_conversion::append_run(std::string_view run) {
    const run_cache::result* result = cache_.find(run);
    if (result == nullptr) {
        run_cache::result fresh;
        transliterator_->append(run, fresh.text);
        fresh.dropped = count_dropped_characters(fresh.text);
        result = &cache_.add(run, std::move(fresh));
    }
    converted_ += result->text;
    if (counting_) dropped_ += result->dropped;
}

void append_guide_string(std::string& out, text_view field, text_conversion& text) {
    append_guide_string(out, field ? text_view{text.convert(*field)} : field);
}

void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps,
                           text_conversion& text) {
    for (const program_field field : record_fields) {
        text_view value = view_of(program[field]);
        if (!value || (field != program_field::start && field != program_field::stop)) {
            append_guide_string(out, value, text);
            continue;
        }
        value = stamps(*value);
        text.count(*value);
        append_guide_string(out, value);
    }
}
