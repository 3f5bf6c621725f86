// Turns the single-byte values of a guide file into text for people, and
// writes that text out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// Each byte as the character of the same number (Latin-1), in UTF-8.
std::string latin1_to_utf8(std::string_view text);

// Appends `byte` as \xNN, in lower-case hexadecimal.
void append_hex_escape(unsigned char byte, std::string& out);

// One line of display: Latin-1 as UTF-8, with backslash, control characters
// and C1 controls escaped (\\, \n, \r, \t, \xNN) so that a value never
// breaks the layout.
std::string display_text(std::string_view text);

// The header's ten digits as seconds since the epoch; nothing when they are
// not ten decimal digits.
std::optional<std::int64_t> timestamp_seconds(std::string_view digits);

// Seconds since the epoch as a UTC date in strftime's `format`.
std::string format_utc(std::int64_t seconds, const char* format);

// The header's time stamp for display: its digits, then the UTC date in
// parentheses, or "(not a time)".
std::string describe_time_stamp(std::string_view digits);

// A start or stop time, YYYYMMDDhhmm, as "YYYY-MM-DD hh:mm"; nothing when it
// is not a date and time of that form.
std::optional<std::string> format_programme_time(std::string_view stamp);

// Writes `text` as it is; a write error shows in ferror(out), checked once
// at the end.
void put_text(std::FILE* out, std::string_view text);
