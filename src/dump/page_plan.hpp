// Which programmes the page of a guide shows, and over which hours: the
// window asked for, or only its first day when that window holds more than a
// browser shows well on one page.
#pragma once

#include "dump/guide_parser.hpp"
#include "dump/wall_clock.hpp"

#include <cstddef>
#include <optional>
#include <vector>

// The programmes that overlap [from, until): a side not given is open.
struct page_window {
    std::optional<wall_minutes> from;
    std::optional<wall_minutes> until;
};

struct wall_span {
    wall_minutes start;
    wall_minutes stop;
};

// Where a programme goes on the time line: nothing when its start or stop is
// not a readable time, or when it ends before or when it starts.
std::optional<wall_span> wall_span_of(const guide_programme& programme);

bool overlaps(const wall_span& span, const page_window& window);

// What one page holds at most; past either, it shows one day.
struct page_limits {
    std::size_t programmes;
    wall_minutes minutes;
};
// Headless Chromium on a busy two-core machine takes about 8 s to draw a
// page of 19,800 programmes (16 MB), and longer in step past it; a month of
// axis is still a scroll a person can follow.
inline constexpr page_limits browser_limits{20'000, 31 * minutes_per_day};

// What was asked for and did not fit.
struct too_large {
    std::size_t programmes;
    wall_span axis;
    std::vector<wall_minutes> days; // midnights of the days its programmes start on (from the window's start)
};

struct page_plan {
    page_window shown;
    // Whole hours around the programmes shown; nothing when no programme is.
    std::optional<wall_span> axis;
    std::size_t programmes = 0;
    std::optional<too_large> cut;
};

page_plan plan_page(const guide& content, const page_window& asked, const page_limits& limits);
