#include "dump/dump_text.hpp"

#include "common/digits.hpp"
#include "format/guide_format.hpp"

#include <algorithm>
#include <ctime>

namespace {

void append_utf8(unsigned char byte, std::string& out) {
    if (byte < 0x80) {
        out += static_cast<char>(byte);
    } else {
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
    }
}

void append_escape(unsigned char byte, std::string& out) {
    switch (byte) {
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default: append_hex_escape(byte, out);
    }
}

bool needs_escape(unsigned char byte) {
    return byte < 0x20 || byte == '\\' || (byte >= 0x7F && byte < 0xA0);
}

} // namespace

void append_hex_escape(unsigned char byte, std::string& out) {
    static constexpr char hex[] = "0123456789abcdef";
    out += "\\x";
    out += hex[byte >> 4];
    out += hex[byte & 0xF];
}

std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) append_utf8(static_cast<unsigned char>(c), out);
    return out;
}

std::string display_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (needs_escape(byte))
            append_escape(byte, out);
        else
            append_utf8(byte, out);
    }
    return out;
}

std::optional<std::int64_t> timestamp_seconds(std::string_view digits) {
    if (digits.size() != guide_format::timestamp_digits) return std::nullopt;
    const std::optional<std::uint64_t> seconds = read_decimal(digits, 9'999'999'999);
    if (!seconds) return std::nullopt;
    return static_cast<std::int64_t>(*seconds);
}

std::string format_utc(std::int64_t seconds, const char* format) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64];
    if (!gmtime_r(&time, &parts) || std::strftime(text, sizeof text, format, &parts) == 0)
        return "?";
    return text;
}

std::string describe_time_stamp(std::string_view digits) {
    const auto seconds = timestamp_seconds(digits);
    const std::string shown = display_text(digits);
    if (!seconds) return shown + " (not a time)";
    return shown + " (" + format_utc(*seconds, "%Y-%m-%d %H:%M:%S UTC") + ")";
}

std::optional<std::string> format_programme_time(std::string_view stamp) {
    if (stamp.size() != guide_format::timestamp_length || read_digits(stamp, 0, 4) < 0) return std::nullopt;
    const int month = read_digits(stamp, 4, 2);
    const int day = read_digits(stamp, 6, 2);
    const int hour = read_digits(stamp, 8, 2);
    const int minute = read_digits(stamp, 10, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    std::string text;
    text.reserve(16);
    text.append(stamp.substr(0, 4)).append("-").append(stamp.substr(4, 2)).append("-");
    text.append(stamp.substr(6, 2)).append(" ").append(stamp.substr(8, 2)).append(":");
    text.append(stamp.substr(10, 2));
    return text;
}

void put_text(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }
