// The times of --from, --until and --days, and the run's "now".
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

// TIME as --from and --until take it: an XMLTV time (read_xmltv_time in
// guide/xmltv_time.hpp: YYYYMMDDhhmm[ss], an optional +hhmm or -hhmm, UTC
// without), or "now", "now+N" or "now-N" with N digits then the unit d, h
// or m. nullopt when it is none of these.
std::optional<std::chrono::sys_seconds> read_time_bound(std::string_view text, std::chrono::sys_seconds now);

// A SOURCE_DATE_EPOCH value: seconds since the epoch, digits only, no later
// than the end of year 9999. nullopt otherwise.
std::optional<std::chrono::sys_seconds> read_epoch_seconds(std::string_view text);
