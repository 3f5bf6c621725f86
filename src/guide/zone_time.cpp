#include "guide/zone_time.hpp"

#include "common/xmltv_time.hpp"

#include <date/tz.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <stdexcept>

namespace {

constexpr std::string_view zoneinfo = "/zoneinfo/";

// The zone name TZ gives, read as glibc reads it; none for the machine's own
// zone, /etc/localtime. date::current_zone() looks only at /etc/localtime,
// so TZ is handled here.
std::optional<std::string_view> named_by_tz() {
    const char* tz = std::getenv("TZ");
    if (tz == nullptr) return std::nullopt;
    std::string_view name = tz;
    if (name.empty()) return "UTC";
    if (name.front() == ':') name.remove_prefix(1);
    if (name.empty() || name == "/etc/localtime") return std::nullopt;
    if (const std::size_t at = name.rfind(zoneinfo); name.front() == '/' && at != name.npos) {
        name.remove_prefix(at + zoneinfo.size());
    }
    return name;
}

const date::time_zone* machine_zone() {
    const std::optional<std::string_view> name = named_by_tz();
    return name ? date::locate_zone(*name) : date::current_zone();
}

} // namespace

std::optional<zone_time_converter> zone_time_converter::locate(std::string_view name) {
    try {
        zone_time_converter converter{name == "local" ? *machine_zone() : *date::locate_zone(name)};
        // The zone's file is read on first use: a damaged one fails here, not
        // in the middle of a listing.
        converter.offset_at(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
        return converter;
    } catch (const std::runtime_error&) {
        // What the library throws for a name it does not know.
        return std::nullopt;
    }
}

std::string zone_time_converter::local_zone_name() {
    if (const std::optional<std::string_view> name = named_by_tz()) return std::string(*name);
    std::error_code unreadable;
    const std::string link = std::filesystem::read_symlink("/etc/localtime", unreadable);
    const std::size_t at = link.rfind(zoneinfo);
    return at == std::string::npos ? "/etc/localtime" : link.substr(at + zoneinfo.size());
}

bool zone_time_converter::convert(std::string_view stamp, std::span<char, 12> out) {
    const std::optional<std::chrono::sys_seconds> instant = read_xmltv_time(stamp);
    if (!instant) return false;
    const std::chrono::local_seconds wall{instant->time_since_epoch() + offset_at(*instant)};
    return write_minute_stamp(wall, out);
}

std::chrono::seconds zone_time_converter::offset_at(std::chrono::sys_seconds instant) {
    if (instant < period_begin_ || instant >= period_end_) {
        const date::sys_info period = zone_->get_info(instant);
        period_begin_ = period.begin;
        period_end_ = period.end;
        period_offset_ = period.offset;
    }
    return period_offset_;
}
