#include "cli/time_bound.hpp"

#include "guide/xmltv_time.hpp"

#include <charconv>
#include <cstdint>

using namespace std::chrono;

namespace {

// Digits only, a number no larger than `limit`.
std::optional<std::int64_t> read_count(std::string_view digits, std::int64_t limit) {
    std::int64_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || digits.front() == '-' || stop != end || error != std::errc{} || value > limit)
        return std::nullopt;
    return value;
}

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
    const std::optional<std::int64_t> count = read_count(shift.substr(1, shift.size() - 2), 1'000'000'000);
    if (!unit || !count) return std::nullopt;
    return (shift.front() == '-' ? -*count : *count) * *unit;
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
    const std::optional<std::int64_t> count = read_count(text, end_of_9999);
    if (!count) return std::nullopt;
    return sys_seconds{seconds{*count}};
}
