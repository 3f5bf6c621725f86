#include "dump/wall_clock.hpp"

#include "common/digits.hpp"
#include "format/guide_format.hpp"

#include <chrono>

using namespace std::chrono;

namespace {

struct clock_parts {
    year_month_day date;
    int hour;
    int minute;
};

clock_parts parts_of(wall_minutes minutes) {
    const wall_minutes midnight = round_down(minutes, minutes_per_day);
    const auto in_day = static_cast<int>(minutes - midnight);
    return {year_month_day(sys_days(days(midnight / minutes_per_day))), in_day / 60, in_day % 60};
}

void append_padded(std::string& out, int value, std::size_t width) {
    const std::string digits = std::to_string(value);
    if (digits.size() < width) out.append(width - digits.size(), '0');
    out += digits;
}

std::string date_text(const year_month_day& date, std::string_view separator) {
    std::string text;
    append_padded(text, int(date.year()), 4);
    text += separator;
    append_padded(text, static_cast<int>(unsigned(date.month())), 2);
    text += separator;
    append_padded(text, static_cast<int>(unsigned(date.day())), 2);
    return text;
}

} // namespace

std::optional<wall_minutes> read_wall_clock(std::string_view stamp) {
    if (stamp.size() != guide_format::timestamp_length) return std::nullopt;
    const int year_digits = read_digits(stamp, 0, 4);
    const int month_digits = read_digits(stamp, 4, 2);
    const int day_digits = read_digits(stamp, 6, 2);
    const int hour = read_digits(stamp, 8, 2);
    const int minute = read_digits(stamp, 10, 2);
    if (year_digits < 0 || month_digits < 0 || day_digits < 0 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59)
        return std::nullopt;
    const year_month_day date{year(year_digits), month(static_cast<unsigned>(month_digits)),
                              day(static_cast<unsigned>(day_digits))};
    if (!date.ok()) return std::nullopt;
    return wall_minutes{sys_days(date).time_since_epoch().count()} * minutes_per_day + hour * minutes_per_hour +
           minute;
}

wall_minutes round_down(wall_minutes minutes, wall_minutes step) {
    const wall_minutes rest = minutes % step;
    return rest < 0 ? minutes - rest - step : minutes - rest;
}

std::string wall_clock_stamp(wall_minutes minutes) {
    const clock_parts parts = parts_of(minutes);
    std::string text = date_text(parts.date, "");
    append_padded(text, parts.hour, 2);
    append_padded(text, parts.minute, 2);
    return text;
}

std::string wall_clock_date(wall_minutes minutes) { return date_text(parts_of(minutes).date, "-"); }

std::string wall_clock_time_of_day(wall_minutes minutes) {
    const clock_parts parts = parts_of(minutes);
    std::string text;
    append_padded(text, parts.hour, 2);
    text += ':';
    append_padded(text, parts.minute, 2);
    return text;
}
