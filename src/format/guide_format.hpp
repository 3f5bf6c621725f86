// Layout of the guide file, shared by everything that writes or reads one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/programme_fields.hpp"

namespace guide_format {

inline constexpr std::string_view magic = "PRG1";
inline constexpr std::string_view version = "0001";
inline constexpr std::size_t timestamp_digits = 10;
// magic + version + time stamp; the channel count follows directly.
inline constexpr std::size_t header_size = 18;
inline constexpr std::size_t count_size = 4;         // signed 32-bit, little-endian
inline constexpr std::size_t string_length_size = 2; // unsigned 16-bit, little-endian
inline constexpr std::size_t max_string_length = 0xFFFF;
inline constexpr std::size_t timestamp_length = 12; // start and stop, cut to the minute

// Where the header fields start.
inline constexpr std::size_t magic_offset = 0;
inline constexpr std::size_t version_offset = magic_offset + magic.size();
inline constexpr std::size_t timestamp_offset = version_offset + version.size();
static_assert(timestamp_offset + timestamp_digits == header_size);

// The strings of one channel record, in file order; its programme count follows.
inline constexpr std::size_t channel_string_count = 2;
inline constexpr std::array<std::string_view, channel_string_count> channel_string_names = {
    "icon", "display-name"};

// The strings of one programme record, in file order (programme_fields.hpp).
inline constexpr std::size_t programme_string_count = record_field_count;
inline constexpr std::array<std::string_view, programme_string_count> programme_string_names = [] {
    std::array<std::string_view, programme_string_count> names{};
    for (std::size_t i = 0; i < programme_string_count; ++i) names[i] = field_info(record_fields[i]).guide_name;
    return names;
}();
static_assert(programme_string_count == 11);

// The smallest records: every string empty, no programmes. A count read from
// a file is checked against these before anything is reserved for it.
inline constexpr std::size_t min_channel_size =
    channel_string_count * string_length_size + count_size;
inline constexpr std::size_t min_programme_size = programme_string_count * string_length_size;

inline void encode_u16(std::uint16_t value, unsigned char* out) {
    out[0] = static_cast<unsigned char>(value & 0xFF);
    out[1] = static_cast<unsigned char>(value >> 8);
}

inline void encode_i32(std::int32_t value, unsigned char* out) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

inline std::uint16_t decode_u16(const unsigned char* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

inline std::int32_t decode_i32(const unsigned char* in) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

} // namespace guide_format
