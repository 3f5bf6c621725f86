// TIME of --from and --until, SOURCE_DATE_EPOCH, and the time window's bounds.
#include "run/time_bound.hpp"
#include "listing/listing_filter.hpp"

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

constexpr sys_seconds now = sys_days{2024y / March / 8} + 9h; // 1709888400
constexpr std::nullopt_t invalid = std::nullopt;

TEST(TimeBound, Forms) {
    const std::pair<const char*, std::optional<sys_seconds>> times[] = {
        {"now", now}, {"now+7d", now + days{7}}, {"now-6h", now - 6h}, {"now+90m", now + 90min},
        {"now-012h", now - 12h}, {"202403081030", now + 90min}, {"20240308103015", now + 90min + 15s},
        {"20240308103000 +0100", now + 30min}, {"20240308103000-0130", now + 3h}, {"now+7", invalid},
        {"now+d", invalid}, {"now7d", invalid}, {"now+7w", invalid}, {"now+7D", invalid}, {"now +7d", invalid},
        {"now+-7d", invalid}, {"Now", invalid}, {"now+1000000001d", invalid}, {"2024030810301", invalid},
        {"20240230", invalid}, {"", invalid}};
    for (const auto& [text, expected] : times) EXPECT_EQ(read_time_bound(text, now), expected) << text;
    const std::pair<const char*, std::optional<sys_seconds>> epochs[] = {
        {"1709888400", now}, {"0", sys_seconds{}}, {"253402300799", sys_seconds{253402300799s}},
        {"253402300800", invalid}, {"-1", invalid}, {"+1", invalid}, {" 1", invalid}, {"1.5", invalid}, {"", invalid}};
    for (const auto& [text, expected] : epochs) EXPECT_EQ(read_epoch_seconds(text), expected) << text;
}

// A programme from 10:00 to 11:00 UTC in windows from / until these times.
TEST(TimeWindow, Bounds) {
    // Ends at from (twice, as an offset time), on the air at from, starts at until.
    const std::tuple<const char*, const char*, bool> windows[] = {
        {"202403081100", nullptr, false}, {"20240308120000 +0100", nullptr, false}, {"202403081059", nullptr, true},
        {nullptr, "202403081000", false}, {nullptr, "202403081001", true}, {"202403081030", "202403081031", true}};
    for (const auto& [from, until, kept] : windows) {
        time_window window;
        if (from) window.from = read_time_bound(from, now);
        if (until) window.until = read_time_bound(until, now);
        EXPECT_EQ(window.keeps("20240308100000 +0000", "202403081100"), kept) << (from ? from : until);
        // Times that cannot be read, or are missing, cannot be judged: kept.
        EXPECT_TRUE(window.keeps("20240308100000 +0000", "2024030811"));
        EXPECT_TRUE(window.keeps(std::nullopt, "202403081100"));
    }
}

} // namespace
