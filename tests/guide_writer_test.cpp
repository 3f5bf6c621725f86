#include "guide/guide_writer.hpp"

#include "guide/guide_model.hpp"
#include "dump/guide_parser.hpp"
#include "listing/reader.hpp"
#include "guide/record_store.hpp"

#include "captured_output.hpp"
#include "test_files.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

std::string le16(unsigned value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string le32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// A string as the guide holds it: count, then the bytes.
std::string str(const std::string& text) { return le16(static_cast<unsigned>(text.size())) + text; }
const std::string none = le16(0);

struct saved {
    bool ok;
    std::string out;
    std::string err;
};

saved save(const std::string& path, record_store& records) {
    captured_output out(stdout);
    captured_output err(stderr);
    const bool ok = save_prg_file(path, records);
    std::string err_text = err.take();
    return {ok, out.take(), std::move(err_text)};
}

// Runs `step` with its trace kept off the test's output.
template <typename Step>
void quietly(Step step) {
    captured_output out(stdout);
    step();
}

void add_named_channel(const std::string& id, text_field icon, text_field display_name) {
    channel_t& channel = add_channel();
    set_last_channel_id(id);
    channel.icon = std::move(icon);
    channel.display_name = std::move(display_name);
}

using field_values = std::vector<std::pair<program_field, std::string>>;

void add_program(const field_values& values) {
    current_program = program_new();
    for (const auto& [field, value] : values) (*current_program)[field] = value;
    quietly(attach_current_program_to_channel);
}

// The ten digits at offset 8 must be a time taken during the save.
void expect_time_digits(const std::string& digits, std::time_t before, std::time_t after) {
    ASSERT_EQ(digits.size(), 10u);
    for (const char c : digits) ASSERT_TRUE(c >= '0' && c <= '9') << digits;
    const long long seconds = std::stoll(digits);
    EXPECT_GE(seconds, static_cast<long long>(before));
    EXPECT_LE(seconds, static_cast<long long>(after));
}

// Checks the 18-byte header and returns what follows it.
std::string body_after_header(const std::string& guide, std::time_t before, std::time_t after) {
    EXPECT_GE(guide.size(), 18u);
    if (guide.size() < 18) return {};
    EXPECT_EQ(guide.substr(0, 4), "PRG1");
    EXPECT_EQ(guide.substr(4, 4), "0001");
    expect_time_digits(guide.substr(8, 10), before, after);
    return guide.substr(18);
}

// Saves the model to a fresh file and returns everything after the header.
std::string saved_body(const temp_dir& dir, record_store& records) {
    const std::string path = dir / "guide.prg";
    const std::time_t before = std::time(nullptr);
    const saved result = save(path, records);
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.err, "");
    return body_after_header(read_file(path), before, after);
}

class GuideWriter : public testing::Test {
protected:
    void SetUp() override { start_model(); }
    void TearDown() override { reset_guide_model(); }
    // An empty model whose programmes go to a fresh record store.
    void start_model() {
        reset_guide_model();
        records = record_store::create_in({dir.path()});
        ASSERT_TRUE(records);
        keep_programs_in(records.get());
    }
    temp_dir dir;
    std::unique_ptr<record_store> records;
};

void build_example_model() {
    add_named_channel("c1", "img/logos/c1.png", "Cinema");
    add_program({
        {program_field::start, "20070101200000 +0100"},
        {program_field::stop, "20070101210000 +0100"},
        {program_field::channel, "c1"},
        {program_field::title, "Film"},
        {program_field::category, "Drama/Crime"},
    });
}

void expect_example_guide(const std::string& guide, std::time_t before, std::time_t after) {
    ASSERT_EQ(guide.size(), 99u);
    EXPECT_EQ(guide.substr(0, 4), "PRG1");
    EXPECT_EQ(guide.substr(4, 4), "0001");
    expect_time_digits(guide.substr(8, 10), before, after);
    const std::pair<std::size_t, std::string> fields[] = {
        {18, "\x01\x00\x00\x00"s},
        {22, "\x02\x00" "c1"s},
        {26, "\x06\x00" "Cinema"s},
        {34, "\x01\x00\x00\x00"s},
        {38, "\x0C\x00" "200701012000"s},
        {52, "\x0C\x00" "200701012100"s},
        {66, "\x04\x00" "Film"s},
        {72, "\x00\x00"s},
        {74, "\x0B\x00" "Drama/Crime"s},
        {87, std::string(12, '\0')},
    };
    for (const auto& [offset, bytes] : fields)
        EXPECT_EQ(guide.substr(offset, bytes.size()), bytes) << "at offset " << offset;
}

TEST_F(GuideWriter, ExampleGuideIs99Bytes) {
    build_example_model();
    const std::string path = dir / "guide.prg";
    const std::time_t before = std::time(nullptr);
    const saved result = save(path, *records);
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.err, "");
    expect_example_guide(read_file(path), before, after);
}

TEST_F(GuideWriter, ExampleListingReadAndWritten) {
    const std::string listing =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<tv><channel id=\"c1\"><display-name>Cinema</display-name>"
        "<icon src=\"img/logos/c1.png\"/></channel>"
        "<programme start=\"20070101200000 +0100\" stop=\"20070101210000 +0100\" channel=\"c1\">"
        "<title>Film</title><category>Drama</category><category>Crime</category>"
        "</programme></tv>\n";
    bool read = false;
    quietly([&] { read = parse_xml_memory(listing, "example.xml").complete; });
    ASSERT_TRUE(read);
    const std::string path = dir / "guide.prg";
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(save(path, *records).ok);
    expect_example_guide(read_file(path), before, std::time(nullptr));
}

TEST_F(GuideWriter, EmptyModelIs22Bytes) {
    EXPECT_EQ(saved_body(dir, *records), le32(0));
}

TEST_F(GuideWriter, ChannelWithoutProgrammes) {
    add_named_channel("tf1", "logo.png", "TF1");
    EXPECT_EQ(saved_body(dir, *records), le32(1) + str("logo") + str("TF1") + le32(0));
}

TEST_F(GuideWriter, ChannelWithoutIconOrDisplayName) {
    add_named_channel("a", std::nullopt, std::nullopt);
    add_named_channel("b", "", "");
    EXPECT_EQ(saved_body(dir, *records), le32(2) + none + none + le32(0) + none + none + le32(0));
}

TEST_F(GuideWriter, ProgrammeFieldsInFileOrder) {
    add_named_channel("c1", std::nullopt, "C");
    add_program({
        {program_field::start, "20070101200000 +0100"},
        {program_field::stop, "200701012100"},
        {program_field::channel, "c1"},
        {program_field::title, "T"},
        {program_field::subtitle, ""},
        {program_field::category, "Cat/Dog"},
        {program_field::director, "D"},
        {program_field::presenter, "P"},
        {program_field::actor, "A1/A2"},
        {program_field::date, "2007"},
        {program_field::desc, "d\xC3\xA9j\xC3\xA0"},
    });
    EXPECT_EQ(saved_body(dir, *records), le32(1) + none + str("C") + le32(1) + str("200701012000") +
                                   str("200701012100") + str("T") + none + str("Cat/Dog") +
                                   str("D") + str("P") + str("A1/A2") + str("2007") +
                                   str("d\xE9j\xE0") + none);
}

TEST_F(GuideWriter, ProgrammesStayWithTheirChannels) {
    add_named_channel("c1", std::nullopt, "One");
    add_named_channel("c2", std::nullopt, "Two");
    const auto program = [](const char* channel, const char* title) {
        add_program({{program_field::start, "1"}, {program_field::stop, "2"},
                     {program_field::channel, channel}, {program_field::title, title}});
    };
    program("c2", "x");
    program("c1", "y");
    program("c2", "z");
    // start, stop, title, then eight absent fields.
    const auto record = [&](const char* title) {
        return str("1") + str("2") + str(title) + std::string(16, '\0');
    };
    EXPECT_EQ(saved_body(dir, *records), le32(2) + none + str("One") + le32(1) + record("y") + none +
                                   str("Two") + le32(2) + record("x") + record("z"));
}

TEST_F(GuideWriter, InterleavedChannelsReadOnEitherThreadAndInAnyBlocks) {
    // Programmes out of channel order, a channel declared between them, a
    // programme that spans blocks of 64 bytes.
    const std::string listing =
        "<tv><channel id='a'><display-name>A</display-name></channel>"
        "<channel id='b'><display-name>B</display-name></channel>"
        "<programme start='3' stop='4' channel='b'><title>b1</title></programme>"
        "<programme start='1' stop='2' channel='a'><title>a1</title></programme>"
        "<channel id='c'/>"
        "<programme start='5' stop='6' channel='c'><title>c1</title></programme>"
        "<programme start='2' stop='3' channel='a'><title>a2</title>"
        "<desc>" + std::string(300, 'd') + "</desc><category>x</category><category>y</category></programme>"
        "<programme start='9' stop='9' channel='b'><title>b2</title></programme></tv>";
    // start, stop, title, the others absent but for category and desc.
    const auto record = [](const char* start, const char* stop, const char* title,
                           const std::string& category = {}, const std::string& desc = {}) {
        return str(start) + str(stop) + str(title) + none + (category.empty() ? none : str(category)) +
               none + none + none + none + (desc.empty() ? none : str(desc)) + none;
    };
    const std::string expected = le32(3) + none + str("A") + le32(2) + record("1", "2", "a1") +
                                 record("2", "3", "a2", "x/y", std::string(300, 'd')) + none + str("B") +
                                 le32(2) + record("3", "4", "b1") + record("9", "9", "b2") + none + none +
                                 le32(1) + record("5", "6", "c1");
    const reading_plan plans[] = {{true, 64}, {true, std::size_t{1} << 20}, {false, 64}};
    for (const reading_plan& plan : plans) {
        SCOPED_TRACE(testing::Message() << "second thread " << plan.second_thread << ", blocks of "
                                        << plan.block_size);
        start_model();
        bool read = false;
        quietly([&] { read = parse_xml_memory(listing, "listing.xml", plan).complete; });
        ASSERT_TRUE(read);
        EXPECT_EQ(saved_body(dir, *records), expected);
    }
}

TEST_F(GuideWriter, DisplayNameIsTransliterated) {
    add_named_channel("c1", std::nullopt, "Une cha\xC3\xAEne");
    EXPECT_EQ(saved_body(dir, *records), le32(1) + none + "\x0A\x00"s + "Une cha\xEEne" + le32(0));
}

TEST(ConvertIconName, BaseNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"img/logos/c1.png", "c1"}, {"a/b.c.d", "b"}, {"logo.png", "logo"},
        {"/logo.png", "logo"},      {".png", ""},     {"x/.hidden", ""},
        {"dir/", ""},               {"plain", "plain"}, {"", ""},
    };
    for (const auto& [icon, base] : cases) EXPECT_EQ(convert_icon_name(icon), base) << icon;
}

TEST_F(GuideWriter, IconWrittenAsBaseName) {
    const std::pair<const char*, std::string> cases[] = {
        {"img/logos/c1.png", "c1"}, {"a/b.c.d", "b"}, {"/logo.png", "logo"},
        {"x/.hidden", ""},          {"dir/", ""},     {"plain", "plain"},
        {"http://h/cha\xC3\xAEne.png", "cha\xEEne"},
    };
    for (const auto& [icon, base] : cases) {
        SCOPED_TRACE(icon);
        reset_guide_model();
        add_named_channel("c", icon, std::nullopt);
        EXPECT_EQ(saved_body(dir, *records), le32(1) + str(base) + none + le32(0));
    }
}

TEST(ConvertTimestamp, CutTo12Bytes) {
    const std::pair<const char*, const char*> cases[] = {
        {"20070101200000 +0100", "200701012000"},
        {"2007010120001", "200701012000"},
        {"200701012000", "200701012000"},
        {"20070101200", "20070101200"},
        {"2007", "2007"},
        {"", ""},
    };
    for (const auto& [stamp, cut] : cases) EXPECT_EQ(convert_timestamp(stamp), cut) << stamp;
}

TEST_F(GuideWriter, TimestampsCutThenTransliterated) {
    const std::pair<const char*, std::string> cases[] = {
        {"20070101200000 +0100", "200701012000"},
        {"200701012000", "200701012000"},
        {"2007", "2007"},
        {"", ""},
        // Cut inside a two-byte letter: the lone lead byte left at the end yields nothing.
        {"20070101200\xC3\xA9", "20070101200"},
    };
    for (const auto& [stamp, written] : cases) {
        SCOPED_TRACE(stamp);
        start_model();
        add_named_channel("c", std::nullopt, std::nullopt);
        add_program({{program_field::start, stamp}, {program_field::stop, stamp},
                     {program_field::channel, "c"}, {program_field::title, "t"}});
        EXPECT_EQ(saved_body(dir, *records), le32(1) + none + none + le32(1) + str(written) + str(written) +
                                       str("t") + std::string(16, '\0'));
    }
}

TEST_F(GuideWriter, TraceOnStandardOutput) {
    add_named_channel("c1", std::nullopt, "One");
    add_program({{program_field::start, "1"}, {program_field::stop, "2"},
                 {program_field::channel, "c1"}, {program_field::title, "t"}});
    add_program({{program_field::start, "1"}, {program_field::stop, "2"},
                 {program_field::channel, "c1"}, {program_field::title, "u"}});
    add_named_channel("c2", std::nullopt, "Two");
    const std::string path = dir / "guide.prg";
    const saved result = save(path, *records);
    ASSERT_TRUE(result.ok);
    const std::string digits = read_file(path).substr(8, 10);
    EXPECT_EQ(result.out, "saving " + path + " (time: " + digits + ")\n" +
                              "- writing header\r\n"
                              "- writing nb_channels\r\n"
                              "- writing channel 0\r\n"
                              "- writing 2 programs for channel 0\r\n"
                              "- writing channel 1\r\n"
                              "- writing 0 programs for channel 1\r\n"
                              "done!\r\n");
    EXPECT_EQ(result.err, "");
}

TEST_F(GuideWriter, TraceOfEmptyModel) {
    const std::string path = dir / "guide.prg";
    const saved result = save(path, *records);
    ASSERT_TRUE(result.ok);
    const std::string digits = read_file(path).substr(8, 10);
    EXPECT_EQ(result.out, "saving " + path + " (time: " + digits + ")\n" +
                              "- writing header\r\n- writing nb_channels\r\ndone!\r\n");
}

// A channel whose display name is `text`, saved: returns the bytes of the name.
std::string saved_display_name(const temp_dir& dir, record_store& records, const std::string& text) {
    reset_guide_model();
    add_named_channel("c", std::nullopt, text);
    add_named_channel("d", std::nullopt, "next");
    const std::string body = saved_body(dir, records);
    // Count, icon, the name, then the rest must follow it exactly.
    const std::string tail = le32(0) + none + str("next") + le32(0);
    EXPECT_GE(body.size(), 6 + tail.size());
    if (body.size() < 6 + tail.size()) return {};
    EXPECT_EQ(body.substr(0, 6), le32(2) + none);
    EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
    return body.substr(6, body.size() - 6 - tail.size());
}

std::string pattern(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

TEST_F(GuideWriter, LongStringsKeepTheirFirst65535Bytes) {
    struct case_t {
        const char* name;
        std::string text;
        std::string written;
    };
    const case_t cases[] = {
        {"65,534 bytes", pattern(65534), pattern(65534)},
        {"65,535 bytes", pattern(65535), pattern(65535)},
        {"65,536 bytes", pattern(65536), pattern(65535)},
        {"65,537 bytes", pattern(65537), pattern(65535)},
        {"70,000 bytes", pattern(70000), pattern(65535)},
        // Counted after conversion: 140,000 bytes in, 70,000 out.
        {"70,000 converted", [] {
             std::string text;
             for (int i = 0; i < 70000; ++i) text += "\xC3\xA9";
             return text;
         }(), std::string(65535, '\xE9')},
        // 120,000 bytes in, 60,000 out: fits.
        {"60,000 converted", [] {
             std::string text;
             for (int i = 0; i < 60000; ++i) text += "\xC3\xA8";
             return text;
         }(), std::string(60000, '\xE8')},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = saved_display_name(dir, *records, c.text);
        ASSERT_GE(name.size(), 2u);
        EXPECT_EQ(name.substr(0, 2), le16(static_cast<unsigned>(c.written.size())));
        EXPECT_TRUE(name.substr(2) == c.written) << "written " << name.size() - 2 << " bytes";
    }
}

TEST_F(GuideWriter, LongDescriptionLeavesTheFileConsistent) {
    add_named_channel("c1", std::nullopt, std::nullopt);
    std::string desc;
    for (int i = 0; i < 70000; ++i) desc += "\xC3\xA9";
    add_program({{program_field::start, "1"}, {program_field::stop, "2"},
                 {program_field::channel, "c1"}, {program_field::title, "t"},
                 {program_field::desc, desc}, {program_field::rating, "R"}});
    const std::string body = saved_body(dir, *records);
    EXPECT_TRUE(body == le32(1) + none + none + le32(1) + str("1") + str("2") + str("t") +
                            std::string(12, '\0') + "\xFF\xFF"s + std::string(65535, '\xE9') +
                            str("R"))
        << "body of " << body.size() << " bytes";
}

TEST_F(GuideWriter, DirectoryAsGuidePath) {
    add_named_channel("c1", std::nullopt, "One");
    const std::string path = dir.path().string();
    const std::time_t before = std::time(nullptr);
    const saved result = save(path, *records);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.err, "Unable to create " + path + "\nguidepack: " + path + ": Is a directory\n");
    const std::string prefix = "saving " + path + " (time: ";
    ASSERT_EQ(result.out.size(), prefix.size() + 12) << result.out;
    EXPECT_EQ(result.out.substr(0, prefix.size()), prefix);
    expect_time_digits(result.out.substr(prefix.size(), 10), before, std::time(nullptr));
    EXPECT_EQ(result.out.substr(prefix.size() + 10), ")\n");
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

TEST_F(GuideWriter, PathInMissingFolder) {
    const std::string path = dir / "missing/guide.prg";
    const saved result = save(path, *records);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.err, "Unable to create " + path + "\nguidepack: " + path + ": No such file or directory\n");
    EXPECT_EQ(result.out.find("- writing"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.rfind("saving " + path + " (time: ", 0), 0u) << result.out;
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(GuideWriter, FullDevice) {
    add_named_channel("c1", std::nullopt, "One");
    const saved result = save("/dev/full", *records);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.err, "/dev/full : failed to write\nguidepack: /dev/full: No space left on device\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(GuideWriter, RegularFileLeftIncompleteIsRemoved) {
    // The child may write 20 bytes to a file: not even the header and the
    // channel count. Its standard error goes to a pipe, which has no such limit.
    const std::string path = dir / "guide.prg";
    int err_pipe[2];
    ASSERT_EQ(::pipe(err_pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{20, 20};
        std::signal(SIGXFSZ, SIG_IGN);
        std::FILE* out = std::freopen("/dev/null", "w", stdout);
        if (out == nullptr || ::dup2(err_pipe[1], 2) < 0 || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        const bool ok = save_prg_file(path, *records);
        std::fflush(nullptr);
        ::_exit(ok ? 0 : 3);
    }
    ::close(err_pipe[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    char err[256];
    const ssize_t err_size = ::read(err_pipe[0], err, sizeof err);
    ::close(err_pipe[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(std::string(err, static_cast<std::size_t>(std::max<ssize_t>(err_size, 0))),
              path + " : failed to write\nguidepack: temporary file in " + dir.path().string() + ": File too large\n");
}

TEST_F(GuideWriter, GuideMayOverwriteTheListing) {
    const std::string path = dir / "listing.xml";
    fs::copy_file(TEST_DATA_DIR "/sample.xml", path);
    bool read = false;
    quietly([&] { read = parse_xml_file(path.c_str()).complete; });
    ASSERT_TRUE(read);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(save(path, *records).ok);
    expect_example_guide(read_file(path), before, std::time(nullptr));
}

TEST(FormatTimestamp, TenZeroPaddedDigits) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0000000000"},
        {42, "0000000042"},
        {1167606000, "1167606000"},
        {2147483647, "2147483647"},
        {2147483648, "2147483648"},
        {4102444800, "4102444800"}, // 2100-01-01
        {9999999999, "9999999999"},
        // Outside what ten digits can hold: the nearest value that fits.
        {-1, "0000000000"},
        {10000000000, "9999999999"},
        {INT64_MIN, "0000000000"},
        {INT64_MAX, "9999999999"},
    };
    for (const auto& [seconds, digits] : cases) EXPECT_EQ(format_timestamp(seconds), digits) << seconds;
}

bool single_byte_text(std::string_view text) {
    static const std::string latin1 = "\xE0\xE2\xE7\xE8\xE9\xEA\xEB\xEE\xEF\xF4\xF9";
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 && latin1.find(c) == std::string::npos) return false;
    return true;
}

TEST_F(GuideWriter, ListingsOfTestDataReadBack) {
    for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR)) {
        if (entry.path().extension() != ".xml") continue;
        SCOPED_TRACE(entry.path().string());
        start_model();
        quietly([&] { parse_xml_file(entry.path().c_str()); });
        const std::string path = dir / "guide.prg";
        ASSERT_TRUE(save(path, *records).ok);

        // parse_guide throws unless counts and lengths account for every byte.
        const std::string bytes = read_file(path);
        const guide read_back = parse_guide(bytes);
        ASSERT_EQ(read_back.channels.size(), prg_file.channels.size());
        for (std::size_t c = 0; c < read_back.channels.size(); ++c) {
            const guide_channel& channel = read_back.channels[c];
            EXPECT_TRUE(single_byte_text(channel.icon));
            EXPECT_TRUE(single_byte_text(channel.display_name));
            ASSERT_EQ(channel.programmes.size(), static_cast<std::size_t>(prg_file.channels[c].nb_programs));
            for (const guide_programme& programme : channel.programmes) {
                for (const std::string_view text : programme.strings) EXPECT_TRUE(single_byte_text(text));
                EXPECT_LE(programme[program_field::start].size(), 12u);
                EXPECT_LE(programme[program_field::stop].size(), 12u);
            }
        }
    }
}

} // namespace
