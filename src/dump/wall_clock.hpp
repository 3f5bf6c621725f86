// The guide's start and stop times as minutes on its own wall clock: the
// guide names no zone, so the times are taken as written and never moved.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Minutes since 1970-01-01 00:00 of the same clock (negative before).
using wall_minutes = std::int64_t;

inline constexpr wall_minutes minutes_per_hour = 60;
inline constexpr wall_minutes minutes_per_day = 24 * minutes_per_hour;

// YYYYMMDDhhmm, a real date and time of day; nothing for anything else.
std::optional<wall_minutes> read_wall_clock(std::string_view stamp);

// `minutes` rounded down to a multiple of `step` (also before 1970).
wall_minutes round_down(wall_minutes minutes, wall_minutes step);

// "YYYYMMDDhhmm", which read_wall_clock reads back.
std::string wall_clock_stamp(wall_minutes minutes);
// "YYYY-MM-DD".
std::string wall_clock_date(wall_minutes minutes);
// "hh:mm".
std::string wall_clock_time_of_day(wall_minutes minutes);
