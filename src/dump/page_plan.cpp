#include "dump/page_plan.hpp"

#include <algorithm>
#include <limits>

namespace {

struct extent {
    std::size_t programmes = 0;
    wall_minutes first = std::numeric_limits<wall_minutes>::max();
    wall_minutes last = std::numeric_limits<wall_minutes>::min();
};

// Calls each(span) for every programme on the time line that overlaps `window`.
template <typename Each>
void for_each_shown(const guide& content, const page_window& window, Each each) {
    for (const guide_channel& channel : content.channels)
        for (const guide_programme& programme : channel.programmes)
            if (const auto span = wall_span_of(programme); span && overlaps(*span, window)) each(*span);
}

extent measure(const guide& content, const page_window& window) {
    extent found;
    for_each_shown(content, window, [&](const wall_span& span) {
        ++found.programmes;
        found.first = std::min(found.first, span.start);
        found.last = std::max(found.last, span.stop);
    });
    return found;
}

// A window's own bounds where it has them, the programmes' elsewhere, out to
// whole hours.
wall_span axis_of(const page_window& window, const extent& found) {
    const wall_minutes end = window.until.value_or(found.last);
    return {round_down(window.from.value_or(found.first), minutes_per_hour),
            -round_down(-end, minutes_per_hour)};
}

std::vector<wall_minutes> days_of(const guide& content, const page_window& window) {
    std::vector<wall_minutes> days;
    for_each_shown(content, window, [&](const wall_span& span) {
        days.push_back(round_down(std::max(span.start, window.from.value_or(span.start)), minutes_per_day));
    });
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

} // namespace

std::optional<wall_span> wall_span_of(const guide_programme& programme) {
    const auto start = read_wall_clock(programme[program_field::start]);
    const auto stop = read_wall_clock(programme[program_field::stop]);
    if (!start || !stop || *stop <= *start) return std::nullopt;
    return wall_span{*start, *stop};
}

bool overlaps(const wall_span& span, const page_window& window) {
    return (!window.from || span.stop > *window.from) && (!window.until || span.start < *window.until);
}

page_plan plan_page(const guide& content, const page_window& asked, const page_limits& limits) {
    page_plan plan{asked, std::nullopt, 0, std::nullopt};
    const extent found = measure(content, asked);
    if (found.programmes == 0) return plan;
    plan.axis = axis_of(asked, found);
    plan.programmes = found.programmes;
    const wall_minutes minutes = plan.axis->stop - plan.axis->start;
    if (found.programmes <= limits.programmes && minutes <= limits.minutes) return plan;

    // Too much for one page: its first day, the other days named.
    const wall_minutes day = round_down(std::max(found.first, asked.from.value_or(found.first)), minutes_per_day);
    plan.cut = too_large{found.programmes, *plan.axis, days_of(content, asked)};
    plan.shown.from = std::max(day, asked.from.value_or(day));
    plan.shown.until = std::min(day + minutes_per_day, asked.until.value_or(day + minutes_per_day));
    const extent in_day = measure(content, plan.shown);
    plan.axis = axis_of(plan.shown, in_day);
    plan.programmes = in_day.programmes;
    return plan;
}
