// Layout of the guide file, shared by everything that writes or reads one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

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

// The strings of one programme record, in file order.
inline constexpr std::size_t programme_string_count = 11;
inline constexpr std::array<std::string_view, programme_string_count> programme_string_names = {
    "start", "stop",  "title", "sub-title", "category", "director",
    "presenter", "actor", "date", "desc", "rating"};

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
