// XMLTV times turned into the wall-clock time of one time zone, summer time
// included, to the minute as the guide keeps them (YYYYMMDDhhmm). The zone's
// rules come from the system's time zone database (tzdata).
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace date {
class time_zone;
}

class zone_time_converter {
public:
    // The zone of IANA name `name` ("Europe/Paris", "America/New_York",
    // "UTC"), or for "local" the zone the C library would use: the TZ
    // environment variable's zone name (with or without a leading ':', or as
    // a path into the zoneinfo directory); unset, or ":" alone, the system's
    // /etc/localtime; empty, UTC. POSIX rule strings ("CET-1CEST,M3.5.0,...")
    // are not read. nullopt when the zone is not in the database.
    static std::optional<zone_time_converter> locate(std::string_view name);

    // The zone name "local" stands for, for messages: TZ's, or the one
    // /etc/localtime links to ("/etc/localtime" when it is no link).
    static std::string local_zone_name();

    // Writes to `out` the wall-clock time in the zone, YYYYMMDDhhmm, at the
    // instant of the XMLTV time `stamp` (grammar: read_xmltv_time in
    // xmltv_time.hpp; no zone there means UTC), seconds dropped. False, with
    // `out` left as it was, when the stamp cannot be read or the local time
    // falls outside the years 0000-9999.
    bool convert(std::string_view stamp, std::span<char, 12> out);

private:
    explicit zone_time_converter(const date::time_zone& zone) : zone_(&zone) {}

    // The zone's offset from UTC at `instant`. Listings come mostly in time
    // order, so the period last looked up answers nearly every call.
    std::chrono::seconds offset_at(std::chrono::sys_seconds instant);

    const date::time_zone* zone_;
    // The period last looked up: [begin, end) at offset from UTC; empty at first.
    std::chrono::sys_seconds period_begin_{};
    std::chrono::sys_seconds period_end_{};
    std::chrono::seconds period_offset_{};
};
