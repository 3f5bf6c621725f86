#include "dump/guide_parser.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace {

using namespace std::string_literals;
using ps = program_field;

// Guide bytes put together field by field, little-endian, independently of
// the writer's encoding helpers.
class bytes {
public:
    bytes& raw(std::string_view text) {
        data_ += text;
        return *this;
    }
    bytes& u16(std::uint32_t value) {
        data_ += static_cast<char>(value & 0xFF);
        data_ += static_cast<char>((value >> 8) & 0xFF);
        return *this;
    }
    bytes& i32(std::int64_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) data_ += static_cast<char>((bits >> shift) & 0xFF);
        return *this;
    }
    bytes& str(std::string_view text) { return u16(static_cast<std::uint32_t>(text.size())).raw(text); }
    bytes& header(std::int64_t nb_channels) {
        return raw("PRG1").raw("0001").raw("1167681600").i32(nb_channels);
    }
    bytes& empty_programme() {
        for (int i = 0; i < 11; ++i) u16(0);
        return *this;
    }
    std::string take() const { return data_; }
    std::size_t size() const { return data_.size(); }

private:
    std::string data_;
};

// The guide of the one-channel, one-programme example listing.
std::string example_guide() {
    return bytes()
        .header(1)
        .str("c1").str("Cinema").i32(1)
        .str("200701012000").str("200701012100").str("Film").u16(0).str("Drama/Crime")
        .u16(0).u16(0).u16(0).u16(0).u16(0).u16(0)
        .take();
}

TEST(GuideParser, ReadsTheExampleGuide) {
    const std::string file = example_guide();
    ASSERT_EQ(file.size(), 99u);
    const guide content = parse_guide(file);
    EXPECT_EQ(content.magic, "PRG1");
    EXPECT_EQ(content.version, "0001");
    EXPECT_EQ(content.timestamp, "1167681600");
    ASSERT_EQ(content.channels.size(), 1u);
    const guide_channel& channel = content.channels[0];
    EXPECT_EQ(channel.icon, "c1");
    EXPECT_EQ(channel.display_name, "Cinema");
    ASSERT_EQ(channel.programmes.size(), 1u);
    const guide_programme& programme = channel.programmes[0];
    EXPECT_EQ(programme[ps::start], "200701012000");
    EXPECT_EQ(programme[ps::stop], "200701012100");
    EXPECT_EQ(programme[ps::title], "Film");
    EXPECT_EQ(programme[ps::subtitle], "");
    EXPECT_EQ(programme[ps::category], "Drama/Crime");
    for (const ps empty : {ps::director, ps::presenter, ps::actor, ps::date, ps::desc, ps::rating})
        EXPECT_EQ(programme[empty], "");
}

TEST(GuideParser, ReadsAGuideWithoutChannels) {
    const std::string file = bytes().header(0).take();
    ASSERT_EQ(file.size(), 22u);
    EXPECT_TRUE(parse_guide(file).channels.empty());
}

TEST(GuideParser, KeepsEveryFieldInItsPlace) {
    bytes file;
    file.header(3);
    file.str("a").str("Alpha").i32(0);                  // no programmes
    file.u16(0).u16(0).i32(2);                          // no icon, no name
    for (const char* prefix : {"p", "q"})
        for (int i = 0; i < 11; ++i) file.str(prefix + std::to_string(i));
    file.str("c").str("Une cha\xEEne").i32(1).empty_programme();
    const std::string data = file.take();
    const guide content = parse_guide(data);

    ASSERT_EQ(content.channels.size(), 3u);
    EXPECT_EQ(content.channels[0].display_name, "Alpha");
    EXPECT_TRUE(content.channels[0].programmes.empty());
    EXPECT_EQ(content.channels[1].icon, "");
    EXPECT_EQ(content.channels[1].display_name, "");
    ASSERT_EQ(content.channels[1].programmes.size(), 2u);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(content.channels[1].programmes[0].strings[i], "p" + std::to_string(i));
        EXPECT_EQ(content.channels[1].programmes[1].strings[i], "q" + std::to_string(i));
    }
    EXPECT_EQ(content.channels[2].display_name, "Une cha\xEEne"s);
    ASSERT_EQ(content.channels[2].programmes.size(), 1u);
    for (const std::string_view text : content.channels[2].programmes[0].strings) EXPECT_EQ(text, "");
}

TEST(GuideParser, ReadsStringsOfTheLargestLength) {
    const std::string longest(0xFFFF, 'x');
    const std::string data = bytes().header(1).u16(0).str(longest).i32(0).take();
    const guide content = parse_guide(data);
    ASSERT_EQ(content.channels.size(), 1u);
    EXPECT_EQ(content.channels[0].display_name.size(), 0xFFFFu);
}

struct damaged_case {
    const char* name;
    std::string data;
    std::size_t offset;
    const char* message; // part of what() after the offset
};

// GoogleTest prints a parameter as its raw bytes unless told otherwise, and
// those bytes hold pointers: ctest's test names would change on every build.
void PrintTo(const damaged_case& c, std::ostream* out) { *out << c.name; }

std::string example_without_last(std::size_t count) {
    const std::string file = example_guide();
    return file.substr(0, file.size() - count);
}

std::string example_with_channel_count(std::int64_t count) {
    std::string file = example_guide();
    const std::string patch = bytes().i32(count).take();
    file.replace(18, 4, patch);
    return file;
}

std::string example_with_programme_count(std::int64_t count) {
    std::string file = example_guide();
    file.replace(34, 4, bytes().i32(count).take());
    return file;
}

std::string example_with_string_count(std::size_t offset, std::uint32_t count) {
    std::string file = example_guide();
    file.replace(offset, 2, bytes().u16(count).take());
    return file;
}

class GuideParserDamaged : public testing::TestWithParam<damaged_case> {};

TEST_P(GuideParserDamaged, FailsAtTheOffsetOfTheFault) {
    const damaged_case& c = GetParam();
    try {
        parse_guide(c.data);
        FAIL() << "accepted";
    } catch (const guide_error& error) {
        EXPECT_EQ(error.offset(), c.offset) << error.what();
        const std::string expected = "offset " + std::to_string(c.offset) + ": " + c.message;
        EXPECT_EQ(std::string(error.what()), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GuideParserDamaged,
    testing::Values(
        damaged_case{"empty", "", 0, "truncated file: magic needs 4 bytes, 0 bytes left"},
        damaged_case{"short_magic", "PR", 0, "truncated file: magic needs 4 bytes, 2 bytes left"},
        damaged_case{"wrong_magic", "PRG2" + example_guide().substr(4), 0,
                     "wrong magic \"PRG2\", expected \"PRG1\""},
        damaged_case{"wrong_short_magic", "<?", 0, "wrong magic \"<?\", expected \"PRG1\""},
        damaged_case{"binary_magic", "\x89PNG\r\n"s, 0,
                     "wrong magic \"\\x89PNG\", expected \"PRG1\""},
        // Escaped as the text dump escapes: lower-case hexadecimal.
        damaged_case{"gzip_magic", "\x1F\x8B\x08\x00"s, 0,
                     "wrong magic \"\\x1f\\x8b\\x08\\x00\", expected \"PRG1\""},
        damaged_case{"truncated_version", "PRG100", 4,
                     "truncated file: version needs 4 bytes, 2 bytes left"},
        damaged_case{"truncated_timestamp", "PRG100011167", 8,
                     "truncated file: time stamp needs 10 bytes, 4 bytes left"},
        damaged_case{"no_channel_count", example_guide().substr(0, 18), 18,
                     "truncated file: channel count needs 4 bytes, 0 bytes left"},
        damaged_case{"truncated_channel_count", example_guide().substr(0, 21), 18,
                     "truncated file: channel count needs 4 bytes, 3 bytes left"},
        damaged_case{"negative_channel_count", example_with_channel_count(-1), 18,
                     "channel count is negative (-1)"},
        damaged_case{"most_negative_channel_count", example_with_channel_count(INT32_MIN), 18,
                     "channel count is negative (-2147483648)"},
        damaged_case{"huge_channel_count", example_with_channel_count(INT32_MAX), 18,
                     "channel count is 2147483647: needs at least 17179869176 bytes, 77 bytes left"},
        damaged_case{"channel_count_one_too_many", example_with_channel_count(2), 99,
                     "truncated file: icon of channel 1 needs 2 bytes, 0 bytes left"},
        damaged_case{"channel_count_past_end", example_with_channel_count(10), 18,
                     "channel count is 10: needs at least 80 bytes, 77 bytes left"},
        damaged_case{"icon_past_end", example_with_string_count(22, 76), 22,
                     "icon of channel 0: length 76 runs past the end of the file (75 bytes left)"},
        damaged_case{"display_name_past_end", example_with_string_count(26, 0xFFFF), 26,
                     "display-name of channel 0: length 65535 runs past the end of the file "
                     "(71 bytes left)"},
        damaged_case{"negative_programme_count", example_with_programme_count(-5), 34,
                     "programme count of channel 0 is negative (-5)"},
        damaged_case{"programme_count_past_end", example_with_programme_count(3), 34,
                     "programme count of channel 0 is 3: needs at least 66 bytes, 61 bytes left"},
        damaged_case{"title_past_end", example_with_string_count(66, 40), 66,
                     "title of programme 0 of channel 0: length 40 runs past the end of the "
                     "file (31 bytes left)"},
        damaged_case{"truncated_last_count", example_without_last(1), 97,
                     "truncated file: rating of programme 0 of channel 0 needs 2 bytes, "
                     "1 byte left"},
        damaged_case{"truncated_inside_category", example_guide().substr(0, 80), 74,
                     "category of programme 0 of channel 0: length 11 runs past the end of "
                     "the file (4 bytes left)"},
        damaged_case{"trailing_byte", example_guide() + "\0"s, 99, "1 byte after the last channel"},
        damaged_case{"trailing_channel", example_guide() + bytes().str("c2").str("").i32(0).take(),
                     99, "10 bytes after the last channel"},
        damaged_case{"count_too_small", example_with_channel_count(0), 22,
                     "77 bytes after the last channel"}),
    [](const testing::TestParamInfo<damaged_case>& info) { return std::string(info.param.name); });

// Counts as large as the format allows, in files too short to hold them,
// fail at once rather than reserving room for them.
TEST(GuideParser, RejectsLargeCountsInEveryPosition) {
    for (std::int64_t count = 1; count <= INT32_MAX; count = count * 3 + 1) {
        SCOPED_TRACE(count);
        const std::string channels = bytes().header(count).take();
        EXPECT_THROW(parse_guide(channels), guide_error);
        const std::string programmes =
            bytes().header(1).u16(0).u16(0).i32(count).take();
        EXPECT_THROW(parse_guide(programmes), guide_error);
    }
}

// Every prefix of a valid guide is damaged, and its fault lies within it.
TEST(GuideParser, RejectsEveryTruncation) {
    const std::string file = bytes()
                                 .header(2)
                                 .str("c1").str("One").i32(1)
                                 .str("200701012000").str("200701012100").str("Film")
                                 .u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).str("-12")
                                 .str("c2").str("Two").i32(0)
                                 .take();
    ASSERT_NO_THROW(parse_guide(file));
    for (std::size_t size = 0; size < file.size(); ++size) {
        SCOPED_TRACE(size);
        try {
            parse_guide(std::string_view(file).substr(0, size));
            ADD_FAILURE() << "accepted";
        } catch (const guide_error& error) {
            EXPECT_LE(error.offset(), size);
        }
    }
}

} // namespace
