// guidepack-dump run on guides written by hand, on the guides guidepack
// writes from the test listings, and on damaged ones.
#include "common/version.hpp"
#include "test_files.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
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

// The N of every "  programmes: N" line of the text dump, in order.
std::vector<int> shown_programme_counts(const std::string& text) {
    std::vector<int> counts;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("  programmes: ")) counts.push_back(std::stoi(line.substr(14)));
    return counts;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Each block of a page as "AT LENGTH TITLE": its place in minutes from the
// axis's start, its length, and the title it shows.
std::vector<std::string> page_blocks(const std::string& page) {
    static const std::regex block(
        R"re(class="programme" style="--at:(\d+);--length:(\d+)"><summary title="([^"]*)")re");
    std::vector<std::string> blocks;
    for (std::sregex_iterator it(page.begin(), page.end(), block), end; it != end; ++it)
        blocks.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str());
    return blocks;
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

        // Both outputs show what the trace announced.
        const run_result shown = dump(dir, "", guide_path);
        ASSERT_EQ(shown.status, 0) << shown.err;
        EXPECT_EQ(shown.err, "");
        const std::string header = "magic: PRG1\nversion: 0001\ntime stamp: " + trace.digits;
        EXPECT_TRUE(shown.out.starts_with(header)) << shown.out.substr(0, 80);
        EXPECT_EQ(shown_programme_counts(shown.out), trace.programmes);
        EXPECT_EQ(run(dir, shell_quote(GUIDEPACK_DUMP_BINARY) + " -", guide_path).out, shown.out);

        const run_result as_json = dump(dir, " --json", guide_path);
        ASSERT_EQ(as_json.status, 0) << as_json.err;
        json doc;
        ASSERT_NO_THROW(doc = json::parse(as_json.out));
        EXPECT_EQ(doc.at("timestamp"), trace.digits);
        std::vector<int> json_counts;
        for (const json& channel : doc.at("channels")) {
            EXPECT_EQ(channel.at("index"), json_counts.size());
            json_counts.push_back(static_cast<int>(channel.at("programmes").size()));
        }
        EXPECT_EQ(json_counts, trace.programmes);

        // The page: a row per channel, each programme a block or listed under its row.
        const run_result page = dump(dir, " --html", guide_path);
        ASSERT_EQ(page.status, 0) << page.err;
        EXPECT_EQ(occurrences(page.out, "<section class=\"row\""), trace.programmes.size());
        EXPECT_EQ(page_blocks(page.out).size() + occurrences(page.out, "<li><details>"),
                  std::accumulate(trace.programmes.begin(), trace.programmes.end(), std::size_t{0}));

        // The same guide, one byte short or one byte long.
        const std::string bytes = read_file(guide_path);
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

// The guide guidepack writes from tests/data/NAME.xml.
std::string guide_of(const temp_dir& dir, const std::string& name) {
    const std::string guide_path = dir / "guide.prg";
    run(dir, shell_quote(GUIDEPACK_BINARY) + " " + shell_quote(TEST_DATA_DIR "/" + name + ".xml") + " " +
                 shell_quote(guide_path));
    return guide_path;
}

std::string sample_guide(const temp_dir& dir) { return guide_of(dir, "sample"); }

// A guide written by hand: pairs of hex digits and 'ASCII text', with
// comments from # to the end of the line.
std::string guide_from_hex(const std::string& text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '#') {
            at = std::min(text.find('\n', at), text.size());
        } else if (text[at] == '\'') {
            const std::size_t end = text.find('\'', at + 1);
            if (end == std::string::npos) throw std::runtime_error("unclosed quote");
            bytes += text.substr(at + 1, end - at - 1);
            at = end;
        } else if (!std::isspace(static_cast<unsigned char>(text[at]))) {
            const std::string pair = text.substr(at, 2);
            if (pair.size() != 2 || !std::isxdigit(static_cast<unsigned char>(pair[0])) ||
                !std::isxdigit(static_cast<unsigned char>(pair[1])))
                throw std::runtime_error("not a hex byte: " + pair);
            bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
            ++at;
        }
    }
    return bytes;
}

// Each folder of tests/data/dump holds a guide.hex and the two outputs,
// written by hand from the formats the manual page describes.
TEST(Dump, ShowsHandWrittenGuidesAsDocumented) {
    std::size_t cases = 0;
    for (const auto& entry : fs::directory_iterator(TEST_DATA_DIR "/dump")) {
        SCOPED_TRACE(entry.path().filename().string());
        ++cases;
        temp_dir dir;
        const std::string guide_path = dir / "guide.prg";
        write_file(guide_path, guide_from_hex(read_file(entry.path() / "guide.hex")));
        for (const auto& [options, expected] : {std::pair{"", "expected.txt"}, {" --json", "expected.json"}}) {
            const run_result shown = dump(dir, options, guide_path);
            EXPECT_EQ(shown.status, 0);
            EXPECT_EQ(shown.err, "");
            EXPECT_EQ(shown.out, read_file(entry.path() / expected)) << options;
        }
    }
    EXPECT_GE(cases, 2u);
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
        for (const char* options : {"", " --json", " --html"}) {
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
    // Usage errors exit 2, leaving 1 to guides that could not be shown.
    const std::string try_help = "\nTry 'guidepack-dump --help' for more information.\n";
    struct usage_case {
        std::string arguments;
        std::string err;
    };
    const usage_case cases[] = {
        {"", "guidepack-dump: no guide file given" + try_help},
        {" --json", "guidepack-dump: no guide file given" + try_help},
        {" a b", "guidepack-dump: one guide file at a time" + try_help},
        {" --xml a", "guidepack-dump: unknown option '--xml'" + try_help},
        {" --json -xV a", "guidepack-dump: unknown option '-x'" + try_help},
        {" -dash.prg", "guidepack-dump: unknown option '-d'" + try_help},
        {" --html --from", "guidepack-dump: option '--from' needs a time" + try_help},
        {" --html a --until", "guidepack-dump: option '--until' needs a time" + try_help},
        {" --html --from=2026120820 a",
         "guidepack-dump: --from: '2026120820' is not a time (YYYYMMDDhhmm)" + try_help},
        {" --html --until=202602302000 a",
         "guidepack-dump: --until: '202602302000' is not a time (YYYYMMDDhhmm)" + try_help},
        {" --from=202612082000 a", "guidepack-dump: --from and --until need --html" + try_help},
        {" --html --json a", "guidepack-dump: --json and --html cannot be used together" + try_help},
        {" --html --from=202612082000 --until=202612082000 a",
         "guidepack-dump: --until must be later than --from" + try_help},
    };
    for (const usage_case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const run_result result = run(dir, binary + c.arguments);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
    }
    for (const char* help_option : {" -h", " --help"}) {
        const run_result help = run(dir, binary + help_option);
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.out.starts_with("Usage: guidepack-dump [OPTION]... GUIDE\n")) << help.out;
    }
    for (const char* version_option : {" -V", " --version"}) {
        const run_result version = run(dir, binary + version_option);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, std::string("guidepack-dump ") + guidepack_version + "\n");
    }
    // After --, a GUIDE may begin with a dash and --json is no option.
    fs::copy_file(sample_guide(dir), dir / "-dash.prg");
    const std::string in_dir = "cd " + shell_quote(dir.path().string()) + " && " + binary;
    const run_result dashed = run(dir, in_dir + " --json -- -dash.prg");
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_TRUE(dashed.out.starts_with("{\"magic\":\"PRG1\"")) << dashed.out;
    EXPECT_EQ(run(dir, in_dir + " -- -dash.prg --json").status, 2);

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

// evening.xml: the window keeps the programmes that overlap it, cut to it;
// the one it cannot place stays listed. Past a month the page shows a day.
TEST(Dump, PlacesTheProgrammesOfAWindowOnItsHours) {
    temp_dir dir;
    const std::string guide_path = guide_of(dir, "html/evening");
    const run_result page = dump(dir, " --html --from=202612082000 --until=202612082200", guide_path);
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page_blocks(page.out),
              (std::vector<std::string>{"0 30 Les Enfants du paradis", "30 90 Le Salaire de la peur",
                                        "0 60 Le grand débat", "60 60 Enquête exclusive",
                                        "0 45 Les Petits Génies", "15 105 Football : Lyon - Nantes"}));
    EXPECT_NE(page.out.find("<summary><b>Histoire du soir</b></summary><dl><dt>start</dt><dd>202612082045</dd>"
                            "<dt>stop</dt><dd>2026120821</dd>"),
              std::string::npos);
    const run_result month = dump(dir, " --html --from=202612080000 --until=202701100000", guide_path);
    EXPECT_EQ(page_blocks(month.out).size(), 11u);
    EXPECT_NE(month.out.find("--minutes:1440\""), std::string::npos);
    EXPECT_NE(month.out.find("so this page shows its first day"), std::string::npos);
}

// Every text from the guide stays text, in elements and in attributes.
TEST(Dump, EscapesTheGuidesTextsInThePage) {
    temp_dir dir;
    const run_result page = dump(dir, " --html", guide_of(dir, "html/hostile"));
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(occurrences(page.out, "<script"), 1u);
    for (const char* raw : {"<img", "<svg", "</dd></dl></details><script>", "\"><img", "' onmouseover"})
        EXPECT_EQ(page.out.find(raw), std::string::npos) << raw;
    EXPECT_NE(page.out.find("<summary title=\"&quot;&gt;&lt;img src=x onerror=&quot;document"), std::string::npos);
    EXPECT_NE(page.out.find("<dd>&#39; onmouseover=&#39;alert(1)&#39; &amp;amp; &lt;a href="), std::string::npos);
}

} // namespace
