// The channels file: which lines it holds, which ids they select, and which
// lines matched no channel.
#include "run/channel_list.hpp"
#include "listing/channel_selection.hpp"

#include <gtest/gtest.h>

namespace {

TEST(ChannelList, LinesSelectIdsAsFnmatchCaseSensitive) {
    const char* file = "\xEF\xBB\xBF# box\n  tf1.fr \t\r\n\n   # FR3\n*.be\r\nm6.f?\nc[0-9].tv\nFR3\n#x";
    EXPECT_EQ(channel_lines(file), (std::vector<std::string>{"tf1.fr", "*.be", "m6.f?", "c[0-9].tv", "FR3"}));
    channel_selection selection(channel_lines(file));
    const std::pair<const char*, bool> ids[] = {
        {"tf1.fr", true}, {"TF1.fr", false}, {" tf1.fr", false}, {"rtl.be", true}, {".be", true}, {"be", false},
        {"m6.fr", true},  {"m6.f", false},   {"m6.frr", false},  {"c7.tv", true},  {"c10.tv", false},
        {"FR3", true},    {"fr3", false},    {"# box", false},   {"#x", false},    {"", false},
    };
    for (const auto& [id, selected] : ids) EXPECT_EQ(selection.selects(id), selected) << id;
    // Only channel elements count as matches: a programme naming m6.fr does not.
    EXPECT_FALSE(selection.any_line_matched());
    EXPECT_TRUE(selection.selects_channel("rtl.be"));
    EXPECT_TRUE(selection.selects_channel("c1.tv"));
    EXPECT_FALSE(selection.selects_channel("tf1"));
    EXPECT_TRUE(selection.any_line_matched());
    EXPECT_EQ(selection.unmatched_lines(), (std::vector<std::string_view>{"tf1.fr", "m6.f?", "FR3"}));
}

} // namespace
