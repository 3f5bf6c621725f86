// XMLTV time stamps: reading one as an instant, and writing a wall-clock time
// to the minute as the guide keeps it.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string_view>

// The instant of an XMLTV time stamp, or nullopt when `stamp` is not exactly:
//
//   YYYYMMDDhhmm[ss][ spaces ][+|-]hhmm        (the bracketed parts optional)
//
// - a real date and time: month 01-12, day within its month (leap years
//   counted), hour 00-23, minute and second 00-59;
// - seconds, when present, are two digits (13 digits is an error);
// - the zone, when present, is a sign and four digits, hours 00-23 and
//   minutes 00-59, after any number of spaces (none included); without a zone
//   the time is UTC;
// - nothing else: no leading or trailing spaces, no zone names ("BST"), no
//   "+hh:mm", no shorter forms (YYYYMMDDhh...), whose minute is unknown.
std::optional<std::chrono::sys_seconds> read_xmltv_time(std::string_view stamp);

// Writes `time` as the 12 characters YYYYMMDDhhmm, its seconds dropped (not
// rounded). False, and `out` left as it was, when its year is not 0000-9999.
bool write_minute_stamp(std::chrono::local_seconds time, std::span<char, 12> out);
