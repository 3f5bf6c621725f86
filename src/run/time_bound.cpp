#include "run/time_bound.hpp"

#include "common/digits.hpp"
#include "common/xmltv_time.hpp"

#include <cstdint>

using namespace std::chrono;

namespace {

std::optional<seconds> unit_length(char unit) {
    switch (unit) {
    case 'd': return days{1};
    case 'h': return hours{1};
    case 'm': return minutes{1};
    default: return std::nullopt;
    }
}

// "+N" or "-N" and a unit, after "now".
std::optional<seconds> read_shift(std::string_view shift) {
    if (shift.size() < 3 || (shift.front() != '+' && shift.front() != '-')) return std::nullopt;
    const std::optional<seconds> unit = unit_length(shift.back());
    // A billion of any unit reaches past any listing and keeps sums in range.
    const std::optional<std::uint64_t> count = read_decimal(shift.substr(1, shift.size() - 2), 1'000'000'000);
    if (!unit || !count) return std::nullopt;
    const auto signed_count = static_cast<std::int64_t>(*count);
    return (shift.front() == '-' ? -signed_count : signed_count) * *unit;
}

} // namespace

std::optional<sys_seconds> read_time_bound(std::string_view text, sys_seconds now) {
    if (!text.starts_with("now")) return read_xmltv_time(text);
    text.remove_prefix(3);
    if (text.empty()) return now;
    const std::optional<seconds> shift = read_shift(text);
    if (!shift) return std::nullopt;
    return now + *shift;
}

std::optional<sys_seconds> read_epoch_seconds(std::string_view text) {
    constexpr std::int64_t end_of_9999 = 253'402'300'799;
    const std::optional<std::uint64_t> count = read_decimal(text, end_of_9999);
    if (!count) return std::nullopt;
    return sys_seconds{seconds{static_cast<std::int64_t>(*count)}};
}
