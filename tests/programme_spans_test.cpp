// When a later listing's programme overlaps what earlier listings attached.
#include "guide/programme_spans.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct overlap_case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> attached; // start, stop
    const char* start;
    const char* stop;
    bool duplicate;
};

std::string at(const char* hhmm) { return std::string("20240301") + hhmm + "00 +0000"; }

TEST(ProgrammeSpans, OverlapBoundaries) {
    const overlap_case cases[] = {
        {"touching before", {{"2000", "2100"}}, "1900", "2000", false},
        {"touching after", {{"2000", "2100"}}, "2100", "2200", false},
        {"shifted by minutes", {{"2000", "2100"}}, "2005", "2105", true},
        {"inside another", {{"2000", "2100"}}, "2010", "2020", true},
        {"around another", {{"2000", "2100"}}, "1900", "2200", true},
        {"in a gap between two", {{"1800", "1900"}, {"2100", "2200"}}, "1900", "2100", false},
        {"across a gap", {{"1800", "1900"}, {"2100", "2200"}}, "1850", "2110", true},
        {"zero length inside", {{"2000", "2100"}}, "2030", "2030", true},
        {"zero length at the end", {{"2000", "2100"}}, "2100", "2100", false},
        {"zero length at the start", {{"2000", "2100"}}, "2000", "2000", true},
        {"inverted, its start inside", {{"2000", "2100"}}, "2059", "1000", true},
        // Merged runs answer as the spans they hold: a zero-length one at
        // another's end spans its first second.
        {"merged touching spans", {{"2000", "2100"}, {"2100", "2100"}, {"2100", "2200"}}, "2130", "2300", true},
        {"after a zero-length end", {{"2000", "2100"}, {"2100", "2100"}}, "2101", "2200", false},
        {"nothing attached", {}, "2000", "2100", false},
    };
    for (const overlap_case& c : cases) {
        SCOPED_TRACE(c.name);
        span_union attached;
        for (const auto& [start, stop] : c.attached) attached.add(*span_of(at(start), at(stop)));
        EXPECT_EQ(attached.overlaps(*span_of(at(c.start), at(c.stop))), c.duplicate);
    }
    // Runs merge whatever order the spans come in.
    span_union reversed;
    for (const char* hour : {"23", "22", "21", "20"}) reversed.add(*span_of(at((std::string(hour) + "00").c_str()),
                                                                               at((std::string(hour) + "59").c_str())));
    reversed.add(*span_of(at("2000"), at("2300")));
    EXPECT_EQ(reversed.runs(), 1U);
}

TEST(ProgrammeSpans, OnlyXmltvTimesHaveASpan) {
    EXPECT_FALSE(span_of(std::nullopt, at("2000")));
    EXPECT_FALSE(span_of(at("2000"), "tonight"));
    EXPECT_FALSE(span_of("200703012000 BST", at("2100")));
    // The offset counts: 21:00 in Paris ends at 20:00 UTC.
    const auto paris = span_of("20240301200000 +0100", "20240301210000 +0100");
    ASSERT_TRUE(paris);
    span_union attached;
    attached.add(*paris);
    EXPECT_FALSE(attached.overlaps(*span_of(at("2000"), at("2100"))));
    EXPECT_TRUE(attached.overlaps(*span_of(at("1959"), at("2100"))));
}

} // namespace
