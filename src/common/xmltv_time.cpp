#include "common/xmltv_time.hpp"

#include "common/digits.hpp"

#include <algorithm>
#include <cstddef>

using namespace std::chrono;

namespace {

// The offset east of UTC that `zone`, the rest of a stamp after its time,
// holds: nothing (UTC), or spaces then "+hhmm" / "-hhmm" to its end.
std::optional<seconds> read_zone_offset(std::string_view zone) {
    if (zone.empty()) return seconds{0};
    zone.remove_prefix(std::min(zone.find_first_not_of(' '), zone.size()));
    if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-')) return std::nullopt;
    const int zone_hours = read_digits(zone, 1, 2);
    const int zone_minutes = read_digits(zone, 3, 2);
    if (zone_hours < 0 || zone_hours > 23 || zone_minutes < 0 || zone_minutes > 59) {
        return std::nullopt;
    }
    const seconds offset = hours{zone_hours} + minutes{zone_minutes};
    return zone[0] == '-' ? -offset : offset;
}

// Writes `value`, 0-99, as two digits from `at`.
void write_two_digits(std::span<char, 12> out, std::size_t at, int value) {
    out[at] = static_cast<char>('0' + value / 10);
    out[at + 1] = static_cast<char>('0' + value % 10);
}

} // namespace

std::optional<sys_seconds> read_xmltv_time(std::string_view stamp) {
    if (stamp.size() < 12) return std::nullopt;
    const int year_number = read_digits(stamp, 0, 4);
    const int month_number = read_digits(stamp, 4, 2);
    const int day_number = read_digits(stamp, 6, 2);
    const int hour = read_digits(stamp, 8, 2);
    const int minute = read_digits(stamp, 10, 2);
    // A digit after the minute starts the two digits of the seconds.
    const std::size_t time_size = stamp.size() > 12 && stamp[12] >= '0' && stamp[12] <= '9' ? 14 : 12;
    if (stamp.size() < time_size) return std::nullopt;
    const int second = time_size == 14 ? read_digits(stamp, 12, 2) : 0;
    if (std::min({year_number, month_number, day_number, hour, minute, second}) < 0) {
        return std::nullopt;
    }
    const year_month_day date{year{year_number}, month{static_cast<unsigned>(month_number)},
                              day{static_cast<unsigned>(day_number)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;

    const std::optional<seconds> offset = read_zone_offset(stamp.substr(time_size));
    if (!offset) return std::nullopt;
    return sys_days{date} + hours{hour} + minutes{minute} + seconds{second} - *offset;
}

bool write_minute_stamp(local_seconds time, std::span<char, 12> out) {
    const local_days date_part = floor<days>(time);
    const year_month_day date{date_part};
    const int year_number = static_cast<int>(date.year());
    if (year_number < 0 || year_number > 9999) return false;
    const int minute_of_day = static_cast<int>((time - date_part) / minutes{1});
    write_two_digits(out, 0, year_number / 100);
    write_two_digits(out, 2, year_number % 100);
    write_two_digits(out, 4, static_cast<int>(static_cast<unsigned>(date.month())));
    write_two_digits(out, 6, static_cast<int>(static_cast<unsigned>(date.day())));
    write_two_digits(out, 8, minute_of_day / 60);
    write_two_digits(out, 10, minute_of_day % 60);
    return true;
}
