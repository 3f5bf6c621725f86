// guidepack-dump run on the guides guidepack writes from the test listings,
// and on damaged ones.
#include "dump/guide_parser.hpp"

#include "test_files.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifndef GUIDEPACK_DUMP_BINARY
#error "GUIDEPACK_DUMP_BINARY must name the guidepack-dump executable"
#endif

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using json = nlohmann::json;

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? "'\\''"s : std::string(1, c);
    return quoted + "'";
}

struct run_result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `arguments` (already quoted), standard input read from `input` when
// given, capturing standard output (unless sent to `output`) and standard error.
run_result run(const temp_dir& dir, const std::string& arguments, const std::string& input = "",
               const std::string& output = "") {
    const std::string out = output.empty() ? dir / "stdout" : output, err = dir / "stderr";
    const std::string command = arguments + (input.empty() ? "" : " <" + shell_quote(input)) +
                                " >" + shell_quote(out) + " 2>" + shell_quote(err);
    const int raw = std::system(command.c_str());
    run_result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (output.empty()) result.out = read_file(out);
    result.err = read_file(err);
    return result;
}

run_result dump(const temp_dir& dir, const std::string& options, const std::string& guide_path) {
    return run(dir, shell_quote(GUIDEPACK_DUMP_BINARY) + options + " " + shell_quote(guide_path));
}

std::string utf8_of_latin1(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string utc_date(const std::string& digits) {
    const std::time_t seconds = std::stoll(digits);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// What guidepack's trace says it wrote: the time stamp and the programme
// count of each channel, from the writer's lines after "saving".
struct written {
    std::string digits;
    std::vector<int> programmes;
};

written parse_writer_trace(const std::string& trace, const std::string& guide_path) {
    const std::string saving = "saving " + guide_path + " (time: ";
    const std::size_t at = trace.rfind(saving);
    if (at == std::string::npos) throw std::runtime_error("no saving line");
    std::istringstream lines(trace.substr(at + saving.size()));
    written result;
    std::string line;
    std::getline(lines, line);
    result.digits = line.substr(0, line.size() - 1); // before the ')'
    std::getline(lines, line);
    if (line != "- writing header\r") throw std::runtime_error("header line: " + line);
    std::getline(lines, line);
    if (line != "- writing nb_channels\r") throw std::runtime_error("count line: " + line);
    while (std::getline(lines, line) && line != "done!\r") {
        const std::string index = std::to_string(result.programmes.size());
        if (line != "- writing channel " + index + "\r") throw std::runtime_error(line);
        int count = -1;
        std::getline(lines, line);
        const std::string tail = " programs for channel " + index + "\r";
        if (line.rfind("- writing ", 0) != 0 || !line.ends_with(tail))
            throw std::runtime_error(line);
        count = std::stoi(line.substr(10, line.size() - 10 - tail.size()));
        result.programmes.push_back(count);
    }
    if (line != "done!\r") throw std::runtime_error("no done line");
    return result;
}

std::size_t count_lines_starting(const std::string& text, const std::string& prefix) {
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0) ++count;
    return count;
}

std::vector<fs::path> test_listings() {
    std::vector<fs::path> listings;
    for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && (name.ends_with(".xml") || name.ends_with(".xml.gz")))
            listings.push_back(entry.path());
    }
    std::sort(listings.begin(), listings.end());
    return listings;
}

void check_json_matches(const json& doc, const guide& content) {
    EXPECT_EQ(doc.at("magic"), "PRG1");
    EXPECT_EQ(doc.at("version"), "0001");
    EXPECT_EQ(doc.at("timestamp"), std::string(content.timestamp));
    EXPECT_EQ(doc.at("time"), utc_date(std::string(content.timestamp)).replace(10, 1, "T") + "Z");
    const json& channels = doc.at("channels");
    ASSERT_EQ(channels.size(), content.channels.size());
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const guide_channel& channel = content.channels[c];
        EXPECT_EQ(channels[c].at("index"), c);
        EXPECT_EQ(channels[c].at("icon"), utf8_of_latin1(channel.icon));
        EXPECT_EQ(channels[c].at("display-name"), utf8_of_latin1(channel.display_name));
        const json& programmes = channels[c].at("programmes");
        ASSERT_EQ(programmes.size(), channel.programmes.size());
        for (std::size_t p = 0; p < programmes.size(); ++p) {
            std::size_t present = 0;
            for (std::size_t f = 0; f < guide_format::programme_string_count; ++f) {
                const std::string_view value = channel.programmes[p].strings[f];
                const std::string name(guide_format::programme_string_names[f]);
                if (value.empty()) {
                    EXPECT_FALSE(programmes[p].contains(name)) << name;
                } else {
                    ++present;
                    EXPECT_EQ(programmes[p].value(name, ""), utf8_of_latin1(value)) << name;
                }
            }
            EXPECT_EQ(programmes[p].size(), present);
        }
    }
}

// listing -> guidepack -> guidepack-dump, for every listing of the tests.
TEST(Dump, ShowsEveryGuideWrittenFromTheTestListings) {
    const std::vector<fs::path> listings = test_listings();
    ASSERT_FALSE(listings.empty());
    for (const fs::path& listing : listings) {
        SCOPED_TRACE(listing.string());
        temp_dir dir;
        const std::string guide_path = dir / "guide.prg";
        const run_result converted = run(dir, shell_quote(GUIDEPACK_BINARY) + " " +
                                                  shell_quote(listing.string()) + " " +
                                                  shell_quote(guide_path));
        ASSERT_TRUE(converted.status == 0 || converted.status == 1) << converted.err;
        ASSERT_TRUE(fs::is_regular_file(guide_path)) << converted.err;
        const written trace = parse_writer_trace(converted.out, guide_path);

        // The file holds what the trace announced and ends at its last byte.
        const std::string bytes = read_file(guide_path);
        guide content;
        ASSERT_NO_THROW(content = parse_guide(bytes));
        EXPECT_EQ(content.timestamp, trace.digits);
        ASSERT_EQ(content.channels.size(), trace.programmes.size());
        std::size_t total = 0;
        for (std::size_t c = 0; c < content.channels.size(); ++c) {
            EXPECT_EQ(content.channels[c].programmes.size(),
                      static_cast<std::size_t>(trace.programmes[c]));
            total += content.channels[c].programmes.size();
        }

        const run_result shown = dump(dir, "", guide_path);
        ASSERT_EQ(shown.status, 0) << shown.err;
        EXPECT_EQ(shown.err, "");
        EXPECT_TRUE(shown.out.starts_with("magic: PRG1\nversion: 0001\ntime stamp: " +
                                          trace.digits + " ("))
            << shown.out.substr(0, 80);
        EXPECT_EQ(count_lines_starting(shown.out, "channel "), content.channels.size());
        EXPECT_EQ(count_lines_starting(shown.out, "  programme "), total);
        EXPECT_EQ(run(dir, shell_quote(GUIDEPACK_DUMP_BINARY) + " -", guide_path).out, shown.out);

        const run_result as_json = dump(dir, " --json", guide_path);
        ASSERT_EQ(as_json.status, 0) << as_json.err;
        json doc;
        ASSERT_NO_THROW(doc = json::parse(as_json.out));
        check_json_matches(doc, content);

        // The same guide, one byte short or one byte long.
        write_file(dir / "short.prg", bytes.substr(0, bytes.size() - 1));
        const run_result short_guide = dump(dir, "", dir / "short.prg");
        EXPECT_EQ(short_guide.status, 1);
        EXPECT_EQ(short_guide.out, "");
        EXPECT_NE(short_guide.err.find("short.prg: offset "), std::string::npos) << short_guide.err;
        write_file(dir / "long.prg", bytes + "\n");
        const run_result long_guide = dump(dir, " --json", dir / "long.prg");
        EXPECT_EQ(long_guide.status, 1);
        EXPECT_EQ(long_guide.out, "");
        EXPECT_EQ(long_guide.err, "guidepack-dump: " + (dir / "long.prg") + ": offset " +
                                      std::to_string(bytes.size()) +
                                      ": 1 byte after the last channel\n");
    }
}

std::string sample_guide(const temp_dir& dir) {
    const std::string guide_path = dir / "sample.prg";
    run(dir, shell_quote(GUIDEPACK_BINARY) + " " + shell_quote(TEST_DATA_DIR "/sample.xml"s) +
                 " " + shell_quote(guide_path));
    return guide_path;
}

TEST(Dump, ShowsTheSampleGuide) {
    temp_dir dir;
    const std::string guide_path = sample_guide(dir);
    ASSERT_EQ(fs::file_size(guide_path), 99u);
    const std::string digits = read_file(guide_path).substr(8, 10);
    const run_result shown = dump(dir, "", guide_path);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.err, "");
    EXPECT_EQ(shown.out, "magic: PRG1\n"
                         "version: 0001\n"
                         "time stamp: " + digits + " (" + utc_date(digits) + " UTC)\n"
                         "channels: 1\n"
                         "\n"
                         "channel 0\n"
                         "  icon: c1\n"
                         "  display-name: Cinema\n"
                         "  programmes: 1\n"
                         "  programme 0\n"
                         "    start: 2007-01-01 20:00\n"
                         "    stop: 2007-01-01 21:00\n"
                         "    title: Film\n"
                         "    category: Drama/Crime\n");
}

TEST(Dump, ShowsEveryFieldUnderItsName) {
    temp_dir dir;
    write_file(dir / "all.xml",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n"
               "<channel id=\"t1\"><display-name>T\u00e9l\u00e9 \u00abUne\u00bb</display-name>"
               "<icon src=\"http://x/logos/t1.large.png\"/></channel>\n"
               "<channel id=\"t2\"/>\n"
               "<programme start=\"20241231235900 +0000\" stop=\"2025\" channel=\"t1\">"
               "<title>Titre</title><sub-title>Sous-titre</sub-title>"
               "<category>Cat1</category><category>Cat2</category><director>Dir</director>"
               "<presenter>Pres</presenter><actor>Act1</actor><actor>Act2</actor>"
               "<date>2024</date><desc>Une cha\u00eene d\u2019\u00e9t\u00e9\t\u00e0 voir</desc>"
               "<rating><value>-12</value></rating></programme>\n"
               "<programme start=\"200713012000\" stop=\"abcdefghijkl\" channel=\"t1\">"
               "<title>Deux</title></programme>\n"
               "</tv>\n");
    const std::string guide_path = dir / "all.prg";
    ASSERT_EQ(run(dir, shell_quote(GUIDEPACK_BINARY) + " " + shell_quote(dir / "all.xml") + " " +
                           shell_quote(guide_path))
                  .status,
              0);

    const run_result shown = dump(dir, "", guide_path);
    ASSERT_EQ(shown.status, 0) << shown.err;
    const std::size_t first_channel = shown.out.find("\nchannel 0\n");
    ASSERT_NE(first_channel, std::string::npos);
    EXPECT_EQ(shown.out.substr(first_channel), "\n"
                                               "channel 0\n"
                                               "  icon: t1\n"
                                               "  display-name: T\u00e9l\u00e9 \"Une\"\n"
                                               "  programmes: 2\n"
                                               "  programme 0\n"
                                               "    start: 2024-12-31 23:59\n"
                                               "    stop: 2025\n"
                                               "    title: Titre\n"
                                               "    sub-title: Sous-titre\n"
                                               "    category: Cat1/Cat2\n"
                                               "    director: Dir\n"
                                               "    presenter: Pres\n"
                                               "    actor: Act1/Act2\n"
                                               "    date: 2024\n"
                                               "    desc: Une cha\u00eene d\u00e9t\u00e9\\t\u00e0 voir\n"
                                               "    rating: -12\n"
                                               "  programme 1\n"
                                               "    start: 200713012000\n"
                                               "    stop: abcdefghijkl\n"
                                               "    title: Deux\n"
                                               "\n"
                                               "channel 1\n"
                                               "  icon:\n"
                                               "  display-name:\n"
                                               "  programmes: 0\n");

    const run_result as_json = dump(dir, " --json", guide_path);
    ASSERT_EQ(as_json.status, 0) << as_json.err;
    const json doc = json::parse(as_json.out);
    const json expected_first = {
        {"start", "202412312359"}, {"stop", "2025"}, {"title", "Titre"},
        {"sub-title", "Sous-titre"}, {"category", "Cat1/Cat2"}, {"director", "Dir"},
        {"presenter", "Pres"}, {"actor", "Act1/Act2"}, {"date", "2024"},
        {"desc", "Une cha\u00eene d\u00e9t\u00e9\t\u00e0 voir"}, {"rating", "-12"}};
    EXPECT_EQ(doc.at("channels").at(0).at("display-name"), "T\u00e9l\u00e9 \"Une\"");
    EXPECT_EQ(doc.at("channels").at(0).at("programmes").at(0), expected_first);
    EXPECT_EQ(doc.at("channels").at(0).at("programmes").at(1),
              json({{"start", "200713012000"}, {"stop", "abcdefghijkl"}, {"title", "Deux"}}));
    EXPECT_EQ(doc.at("channels").at(1),
              json({{"index", 1}, {"icon", ""}, {"display-name", ""}, {"programmes", json::array()}}));
}

struct damage {
    const char* name;
    std::string bytes;
    std::string message;
};

TEST(Dump, RejectsDamagedGuidesWithTheOffset) {
    temp_dir dir;
    const std::string good = read_file(sample_guide(dir));
    ASSERT_EQ(good.size(), 99u);
    const damage cases[] = {
        {"truncated", good.substr(0, 98),
         "offset 97: truncated file: rating of programme 0 of channel 0 needs 2 bytes, 1 byte left"},
        {"cut_in_title", good.substr(0, 70),
         "offset 66: title of programme 0 of channel 0: length 4 runs past the end of the file "
         "(2 bytes left)"},
        {"trailing", good + "x", "offset 99: 1 byte after the last channel"},
        {"magic", "PRG0" + good.substr(4), "offset 0: wrong magic \"PRG0\", expected \"PRG1\""},
        {"negative", good.substr(0, 18) + "\xFE\xFF\xFF\xFF" + good.substr(22),
         "offset 18: channel count is negative (-2)"},
        {"empty", "", "offset 0: truncated file: magic needs 4 bytes, 0 bytes left"},
    };
    for (const damage& d : cases) {
        SCOPED_TRACE(d.name);
        const std::string path = dir / (d.name + ".prg"s);
        write_file(path, d.bytes);
        for (const char* options : {"", " --json"}) {
            const run_result result = dump(dir, options, path);
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err, "guidepack-dump: " + path + ": " + d.message + "\n");
        }
        const run_result piped = run(dir, shell_quote(GUIDEPACK_DUMP_BINARY) + " -", path);
        EXPECT_EQ(piped.status, 1);
        EXPECT_EQ(piped.err, "guidepack-dump: standard input: " + d.message + "\n");
    }
}

TEST(Dump, ReportsUsageAndFileErrors) {
    temp_dir dir;
    const std::string binary = shell_quote(GUIDEPACK_DUMP_BINARY);
    const std::string usage = "usage: guidepack-dump [--json] GUIDE\n";
    struct usage_case {
        std::string arguments;
        std::string err;
    };
    const usage_case cases[] = {
        {"", usage},
        {" --json", usage},
        {" a b", "guidepack-dump: one guide file at a time\n" + usage},
        {" --xml a", "guidepack-dump: unknown option '--xml'\n" + usage},
    };
    for (const usage_case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const run_result result = run(dir, binary + c.arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
    const run_result help = run(dir, binary + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, usage);
    const run_result version = run(dir, binary + " --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "guidepack-dump " GUIDEPACK_VERSION "\n");

    const run_result missing = dump(dir, "", dir / "missing.prg");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "guidepack-dump: " + (dir / "missing.prg") + ": No such file or directory\n");
    const run_result directory = dump(dir, "", dir / "");
    EXPECT_EQ(directory.status, 1);
    EXPECT_NE(directory.err.find("Is a directory"), std::string::npos) << directory.err;

    const std::string guide_path = sample_guide(dir);
    const run_result full = run(dir, binary + " " + shell_quote(guide_path), "", "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "guidepack-dump: standard output: No space left on device\n");
}

} // namespace
