// The guide file's strings and programme records, byte for byte. The writer
// writes channels' strings in this form, and the record store keeps every
// attached programme as its finished record: converted once, while its text
// is still in the cache, and copied as it is into the guide.
#pragma once

#include "format/guide_format.hpp"
#include "guide/guide_model.hpp"
#include "guide/zone_time.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// A start or stop time cut to its first 12 bytes (to the minute).
std::string_view convert_timestamp(std::string_view stamp);

// How start and stop times reach the guide: cut to the minute as they stand,
// or, given a zone, as the wall-clock time there. A time that cannot be read
// as an XMLTV time is then cut as it stands, and counted.
class stamp_converter {
public:
    explicit stamp_converter(std::optional<zone_time_converter> zone = std::nullopt) : zone_(std::move(zone)) {}

    // The text to write for `stamp`; valid until the next call.
    std::string_view operator()(std::string_view stamp);

    // How many times could not be read.
    std::uint64_t unreadable() const { return unreadable_; }

private:
    std::optional<zone_time_converter> zone_;
    std::uint64_t unreadable_ = 0;
    char converted_[guide_format::timestamp_length];
};

// Appends one string as the file holds it: its 16-bit length, then its
// single-byte text (fix_utf8), cut to 65,535 bytes. Absent is written empty.
void append_guide_string(std::string& out, text_view field);

// Appends the record of `program`: its eleven strings in file order, start
// and stop written by `stamps`. The channel is not part of it.
void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps);
