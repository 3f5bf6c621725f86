// TIME of --from and --until, SOURCE_DATE_EPOCH, and the time window's
// bounds.
#include "cli/time_bound.hpp"
#include "listing/listing_filter.hpp"

#include <gtest/gtest.h>

using namespace std::chrono;

namespace {

constexpr sys_seconds now = sys_days{2024y / March / 8} + 9h; // 1709888400

TEST(TimeBound, Forms) {
    const std::pair<const char*, std::optional<sys_seconds>> times[] = {
        {"now", now}, {"now+7d", now + days{7}}, {"now-6h", now - 6h}, {"now+90m", now + 90min},
        {"now+0d", now}, {"now-0012h", now - 12h},
        {"202403081030", sys_days{2024y / March / 8} + 10h + 30min},
        {"20240308103015", sys_days{2024y / March / 8} + 10h + 30min + 15s},
        {"20240308103000 +0100", sys_days{2024y / March / 8} + 9h + 30min},
        {"20240308103000-0130", sys_days{2024y / March / 8} + 12h},
        {"now+7", std::nullopt}, {"now+d", std::nullopt}, {"now7d", std::nullopt}, {"now+7w", std::nullopt},
        {"now+7D", std::nullopt}, {"now +7d", std::nullopt}, {"now+-7d", std::nullopt}, {"Now", std::nullopt},
        {"now+1000000001d", std::nullopt}, {"2024030810301", std::nullopt}, {"20240230", std::nullopt},
        {"tomorrow", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, expected] : times) EXPECT_EQ(read_time_bound(text, now), expected) << text;
}

TEST(TimeBound, SourceDateEpoch) {
    const std::pair<const char*, std::optional<sys_seconds>> values[] = {
        {"1709888400", now}, {"0", sys_seconds{}}, {"253402300799", sys_seconds{253402300799s}},
        {"253402300800", std::nullopt}, {"-1", std::nullopt}, {"+1", std::nullopt}, {" 1", std::nullopt},
        {"1.5", std::nullopt}, {"12a", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [text, expected] : values) EXPECT_EQ(read_epoch_seconds(text), expected) << text;
}

// A programme from 10:00 to 11:00 UTC, in a window from `from` to `until`.
TEST(TimeWindow, Bounds) {
    struct bounds {
        const char* from;
        const char* until;
        bool kept;
    };
    const bounds windows[] = {
        {"202403081100", nullptr, false},       // ends at from
        {"202403081059", nullptr, true},        // on the air at from
        {"20240308120000 +0100", nullptr, false}, // from as an offset time: 11:00 UTC
        {nullptr, "202403081000", false},       // starts at until
        {nullptr, "202403081001", true},
        {"202403081030", "202403081031", true}, // on the air through the window
        {"202403091000", "202403071000", false},
    };
    for (const bounds& window : windows) {
        SCOPED_TRACE(testing::Message() << (window.from ? window.from : "-") << " " << (window.until ? window.until : "-"));
        time_window tested;
        if (window.from) tested.from = read_time_bound(window.from, now);
        if (window.until) tested.until = read_time_bound(window.until, now);
        EXPECT_EQ(tested.keeps("20240308100000 +0000", "202403081100"), window.kept);
        // A programme whose times cannot be read, or are missing, stays.
        EXPECT_TRUE(tested.keeps("20240308100000 +0000", "2024030811"));
        EXPECT_TRUE(tested.keeps("tonight", "202403081100"));
        EXPECT_TRUE(tested.keeps(std::nullopt, "202403081100"));
    }
}

} // namespace
