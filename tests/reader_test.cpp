// What the reader takes from a listing into the model, and the real listings
// of the test data.
#include "guide/guide_model.hpp"
#include "listing/apply_events.hpp"
#include "listing/read_ahead.hpp"
#include "listing/reader.hpp"
#include "common/xmltv_time.hpp"
#include "captured_output.hpp"
#include "common/trace.hpp"

#include "capture_store.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct run_output {
    bool ok;
    std::string out;
    std::string err;
};

run_output capture(const std::function<bool()>& parse) {
    captured_output out(stdout);
    captured_output err(stderr);
    const bool ok = parse();
    std::string err_text = err.take();
    return {ok, out.take(), std::move(err_text)};
}

run_output read_memory(const std::string& listing, const reading_plan& plan = reading_plan::for_this_process(),
                       listing_filter* filter = nullptr) {
    return capture([&] { return parse_xml_memory(listing, "listing.xml", plan, filter).complete; });
}

run_output read_file(const std::string& name) {
    const std::string path = std::string(TEST_DATA_DIR) + "/" + name;
    return capture([&] { return parse_xml_file(path.c_str()).complete; });
}

// A listing with channel "c1" and one complete programme holding `body`.
std::string programme_listing(const std::string& body) {
    return "<tv><channel id='c1'/><programme start='1' stop='2' channel='c1'><title>T</title>" +
           body + "</programme></tv>";
}

int count_lines(const std::string& text, const std::string& prefix) {
    int count = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, prefix.size(), prefix) == 0) ++count;
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return count;
}

// Ten channels and `count` programmes spread over them out of order, with
// long texts: the trace runs to several times 64 KiB. No end tag. Programme
// p is on channel p * 7 % 10, from 20:00 to 21:00 (+0100) on day p % 7 of
// March 2024 (day 0: no date). Only the channels c and programmes of
// `keep(c, -1)` and `keep(c, day)` are written, when given.
std::string long_listing(int count, const std::function<bool(int, int)>& keep = {}) {
    std::string listing = "<tv>\n";
    for (int c = 0; c < 10; ++c) {
        // append(): GCC 12 in Release warns falsely (-Wrestrict) on "c" + a string.
        const std::string id = std::string("c").append(std::to_string(c));
        if (keep && !keep(c, -1)) continue;
        listing += "<channel id='" + id + "'><display-name>Cha\xC3\xAEne " + id +
                   "</display-name><icon src='img/" + id + ".png'/></channel>\n";
    }
    for (int p = 0; p < count; ++p) {
        if (keep && !keep(p * 7 % 10, p % 7)) continue;
        const std::string day = std::string("2024030").append(std::to_string(p % 7));
        listing += "<programme start='" + day + "200000 +0100' stop='" + day + "210000 +0100' channel='c" +
                   std::to_string(p * 7 % 10) + "'>\n  <title>Titre " + std::to_string(p) +
                   "</title>\n  <desc>" + std::string(200 + p % 50, 'd') +
                   "</desc>\n  <category>A</category><category>B</category><length>5</length>\n</programme>\n";
    }
    return listing;
}

// What reading prints, standard output and standard error into one file as
// `guidepack LISTING >FILE 2>&1` has them: the trace through the program's
// 64 KiB buffer, messages unbuffered. Read in a child, whose output is
// all its own.
std::string combined_output(const std::string& listing, const reading_plan& plan) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
    if (!file) return "no temporary file";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::fileno(file.get());
        if (::dup2(fd, STDOUT_FILENO) < 0 || ::dup2(fd, STDERR_FILENO) < 0) ::_exit(126);
        buffer_trace();
        reset_guide_model();
        parse_xml_memory(listing, "listing.xml", plan);
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "reading failed";
    std::string output;
    char bytes[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(::fileno(file.get()), bytes, sizeof bytes, at);
        if (got <= 0) break;
        output.append(bytes, static_cast<std::size_t>(got));
        at += got;
    }
    return output;
}

class Reader : public testing::Test {
protected:
    void SetUp() override { start_model(); }
    void TearDown() override { reset_guide_model(); }

    void start_model() {
        reset_guide_model();
        store = capture_store();
        keep_programs_in(&store);
    }

    // The programmes attached to a channel, as read.
    std::vector<program_t> programs(std::int32_t channel) const { return store.programs_of(channel); }

    // The one programme of channel "c1" after reading programme_listing(body).
    text_field field_after(const std::string& body, program_field field) {
        const run_output run = read_memory(programme_listing(body));
        EXPECT_TRUE(run.ok) << run.err;
        EXPECT_EQ(prg_file.nb_channels, 1);
        if (prg_file.nb_channels != 1 || programs(0).size() != 1) {
            ADD_FAILURE() << "programme not attached:\n" << run.out;
            return std::nullopt;
        }
        return programs(0)[0][field];
    }

    capture_store store;
};

struct field_case {
    const char* body;
    program_field field;
    std::optional<std::string> expected;
};

TEST_F(Reader, FieldRules) {
    const std::vector<field_case> cases = {
        // replace
        {"<sub-title>a</sub-title><sub-title>b</sub-title>", program_field::subtitle, "b"},
        {"<date>1999</date><date>2000</date>", program_field::date, "2000"},
        {"<title>Second</title>", program_field::title, "Second"},
        // join, with the pieces' own slashes kept
        {"<category>a/b</category><category>c</category>", program_field::category, "a/b/c"},
        {"<director>D1</director><director>D2</director>", program_field::director, "D1/D2"},
        {"<presenter>P1</presenter><presenter>P2</presenter>", program_field::presenter, "P1/P2"},
        {"<actor>A</actor><actor>B</actor><actor>C</actor>", program_field::actor, "A/B/C"},
        {"<actor>A</actor><actor> </actor><actor>B</actor>", program_field::actor, "A/B"},
        // first only
        {"<desc>D1</desc><desc>D2</desc>", program_field::desc, "D1"},
        {"<star-rating><value>1</value></star-rating><rating><value>2</value></rating>",
         program_field::rating, "1"},
        // texts split by other nodes
        {"<category>a<!--c-->b<?pi x?>c</category>", program_field::category, "a/b/c"},
        {"<sub-title>a<![CDATA[cdata]]>b</sub-title>", program_field::subtitle, "b"},
        {"<desc>one<!--c-->two</desc>", program_field::desc, "one"},
        // texts that are no text nodes
        {"<desc> \n\t </desc>", program_field::desc, std::nullopt},
        {"<desc></desc>", program_field::desc, std::nullopt},
        {"<desc><![CDATA[only cdata]]></desc>", program_field::desc, std::nullopt},
        // no trimming, references expanded, UTF-8 as libxml2 delivers it
        {"<desc> a\n b </desc>", program_field::desc, " a\n b "},
        {"<desc>&lt;&amp;&#233;&#x20AC;</desc>", program_field::desc, "<&\xC3\xA9\xE2\x82\xAC"},
        // mixed content: the text after a child belongs to the child's name
        {"<desc>d<category>k</category>tail</desc>", program_field::category, "k/tail"},
        {"<category>k<b>x</b>tail</category>", program_field::category, "k"},
        {"", program_field::desc, std::nullopt},
    };
    for (const field_case& c : cases) {
        SCOPED_TRACE(c.body);
        start_model();
        const text_field value = field_after(c.body, c.field);
        if (c.expected) {
            ASSERT_TRUE(value);
            EXPECT_EQ(*value, *c.expected);
        } else {
            EXPECT_FALSE(value) << *value;
        }
    }
}

TEST_F(Reader, TextsAreTracedAsTheLibraryDeliversThem) {
    const run_output run = read_memory(programme_listing(
        "<desc> &lt;&amp;&#233;&#x20AC;\n</desc><category>caf\xC3\xA9</category>"
        "<category>&#x4E2D;</category>"));
    ASSERT_TRUE(run.ok) << run.err;
    EXPECT_NE(run.out.find("\tdesc =  <&\xC3\xA9\xE2\x82\xAC\n\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\tcategories = caf\xC3\xA9/\xE4\xB8\xAD\n"), std::string::npos) << run.out;
}

TEST_F(Reader, EntityReferenceSplitsAText) {
    const std::string listing =
        "<!DOCTYPE tv [<!ENTITY e 'hidden'>]>" + programme_listing("<actor>A&e;B</actor><desc>x&e;y</desc>");
    const run_output run = read_memory(listing);
    ASSERT_TRUE(run.ok) << run.err;
    ASSERT_EQ(programs(0).size(), 1U);
    const program_t program = programs(0)[0];
    EXPECT_EQ(program[program_field::actor], "A/B");
    EXPECT_EQ(program[program_field::desc], "x");
    EXPECT_EQ(run.out.find("hidden"), std::string::npos) << run.out;
}

TEST_F(Reader, AbsentAndEmptyAttributesStayApart) {
    const run_output run = read_memory(
        "<tv><channel id='c1'><icon src=''/></channel><channel id='c2'><icon/></channel>"
        "<programme start='' stop='2' channel='c1'><title>T</title></programme></tv>");
    ASSERT_TRUE(run.ok) << run.err;
    ASSERT_EQ(prg_file.nb_channels, 2);
    EXPECT_EQ(prg_file.channels[0].icon, "");
    EXPECT_FALSE(prg_file.channels[1].icon);
    EXPECT_FALSE(prg_file.channels[0].display_name);
    ASSERT_EQ(programs(0).size(), 1U);
    const program_t program = programs(0)[0];
    EXPECT_EQ(program[program_field::start], "");
    EXPECT_FALSE(program[program_field::subtitle]);
}

TEST_F(Reader, ChannelValuesGoToTheLastChannel) {
    const run_output run = read_memory(
        "<tv><icon src='none.png'/><display-name>none</display-name>"
        "<channel id='a'><display-name>A1</display-name><display-name>A2</display-name></channel>"
        "<channel id='b'/><display-name>B</display-name>"
        "<programme start='1' stop='2' channel='a'><title>T</title><rating><icon src='p.png'/></rating>"
        "</programme></tv>");
    ASSERT_TRUE(run.ok) << run.err;
    ASSERT_EQ(prg_file.nb_channels, 2);
    EXPECT_EQ(prg_file.channels[0].display_name, "A2");
    EXPECT_FALSE(prg_file.channels[0].icon);
    EXPECT_EQ(prg_file.channels[1].display_name, "B");
    // A programme's picture is no channel's logo, however deep it lies.
    EXPECT_FALSE(prg_file.channels[1].icon);
    EXPECT_EQ(run.out.find("none"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("p.png"), std::string::npos) << run.out;
}

TEST_F(Reader, ElementNameIsTheLastStartAndSurvivesEndTags) {
    const run_output run = read_memory("<tv><title>x</title><channel><lang/></channel></tv>");
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(element_name, "lang");
}

TEST_F(Reader, ProgrammeIsAttachedWhenTheNextStartsOrTheListingEnds) {
    const run_output run = read_memory(
        "<tv><programme start='1' stop='2' channel='c'><title>T</title></programme>"
        "<channel id='c'/><programme start='3' stop='4' channel='c'><title>U</title></programme>"
        "<channel id='c'/></tv>");
    ASSERT_TRUE(run.ok);
    EXPECT_FALSE(current_program);
    ASSERT_EQ(prg_file.nb_channels, 2);
    ASSERT_EQ(prg_file.channels[0].nb_programs, 2);
    EXPECT_EQ(programs(0)[1][program_field::title], "U");
    EXPECT_EQ(prg_file.channels[1].nb_programs, 0);
}

TEST_F(Reader, ErrorKeepsWhatWasAttachedAndDropsThePending) {
    const run_output run = read_memory(
        "<tv><channel id='c'/><programme start='1' stop='2' channel='c'><title>A</title></programme>\n"
        "<programme start='3' stop='4' channel='c'><title>B</title><desc>cut");
    EXPECT_FALSE(run.ok);
    ASSERT_EQ(prg_file.nb_channels, 1);
    ASSERT_EQ(prg_file.channels[0].nb_programs, 1);
    EXPECT_EQ(programs(0)[0][program_field::title], "A");
    EXPECT_EQ(count_lines(run.out, "programme "), 1) << run.out;
    EXPECT_EQ(count_lines(run.out, "!!!!!"), 0) << run.out;
    const std::string last_line = "listing.xml : failed to parse\n";
    ASSERT_GE(run.err.size(), last_line.size());
    EXPECT_EQ(run.err.substr(run.err.size() - last_line.size()), last_line);
}

// However the events are cut into blocks, and on whichever thread the model
// takes them, it sees the same nodes in the same order.
TEST_F(Reader, SameReadingWhateverTheBlocksAndThreads) {
    const int count = 3000;
    const std::string listing = long_listing(count) + "</tv>";
    const run_output expected = read_memory(listing, {false, std::size_t{64} << 10});
    ASSERT_TRUE(expected.ok) << expected.err;
    EXPECT_EQ(count_lines(expected.out, "programme "), count);
    const std::vector<kept_program> expected_programs = store.kept;
    const reading_plan plans[] = {{false, 64}, {true, 64}, {true, std::size_t{1} << 20}};
    for (const reading_plan& plan : plans) {
        SCOPED_TRACE(testing::Message() << "second thread " << plan.second_thread << ", blocks of "
                                        << plan.block_size);
        start_model();
        const run_output run = read_memory(listing, plan);
        EXPECT_TRUE(run.ok);
        EXPECT_TRUE(run.out == expected.out) << "the traces differ";
        EXPECT_EQ(run.err, expected.err);
        ASSERT_EQ(store.kept.size(), expected_programs.size());
        for (std::size_t i = 0; i < store.kept.size(); ++i) {
            EXPECT_EQ(store.kept[i].channel, expected_programs[i].channel);
            EXPECT_EQ(store.kept[i].program.fields, expected_programs[i].program.fields);
        }
    }
}

// What a filter leaves out is as if the listing did not hold it: read
// through the filter, a listing prints and keeps exactly what the listing
// without those elements, removed by hand, prints and keeps unfiltered,
// however the events are cut into blocks and on whichever thread.
TEST_F(Reader, FilteredListingReadsAsTheListingWithoutWhatIsLeftOut) {
    const std::string edges[] = {
        "<tv><channel id='a'><display-name>A</display-name></channel>\n"
        "<channel><display-name>no id</display-name></channel>\n"
        "<channel id='x'><display-name>X</display-name><icon src='x.png'/></channel>\n<channel id='b1'/>\n"
        "<programme start='1' stop='2' channel='a'><title>A1</title></programme>\n"
        "<programme start='1' stop='2' channel='x'><title>X1</title><icon src='p.png'/></programme>\n"
        "<programme start='1' stop='2'><title>none</title></programme>\n"
        "<programme start='1' stop='2' channel='b2'><title>  <channel id='y'/>B<channel id='z'/>"
        " <programme channel='x'/> 2</title><category>k<!--c--><channel id='y'/>t</category></programme>\n"
        "<channel id='b2'/></tv>",
        "<tv><channel id='a'><display-name>A</display-name></channel>\n\n\n<channel id='b1'/>\n"
        "<programme start='1' stop='2' channel='a'><title>A1</title></programme>\n\n\n"
        "<programme start='1' stop='2' channel='b2'><title>  B  2</title><category>k<!--c-->t</category>"
        "</programme>\n<channel id='b2'/></tv>",
    };
    // Channels 2 to 5; days 3 and 4 (day 2 ends at from, day 5 starts at
    // until), and day 0, whose times cannot be read.
    const std::string kept = long_listing(3000, [](int c, int day) {
        return c >= 2 && c <= 5 && (day == -1 || day == 0 || day == 3 || day == 4);
    }) + "</tv>";
    // Left out of the long listing: 1800 programmes on channels 0, 1 and 6 to
    // 9, and 685 on channels 2 to 5 on days 1, 2, 5 and 6.
    const std::tuple<std::string, std::string, left_out_counts> listings[] = {
        {edges[0], edges[1], {5, 3, 0}}, {long_listing(3000) + "</tv>", kept, {6, 1800, 685}}};
    const reading_plan plans[] = {{false, 1}, {true, 64}, {true, std::size_t{1} << 20}};
    for (const auto& [listing, removed, left_out] : listings) {
        for (const reading_plan& plan : plans) {
            SCOPED_TRACE(testing::Message() << listing.substr(0, 40) << ", second thread " << plan.second_thread
                                            << ", blocks of " << plan.block_size);
            start_model();
            const run_output expected = read_memory(removed, plan);
            start_model();
            listing_filter filter;
            filter.selection.emplace(std::vector<std::string>{"a", "b*", "c[2-5]"});
            filter.window = {read_xmltv_time("20240302200000"), read_xmltv_time("20240305190000")};
            const run_output run = read_memory(listing, plan, &filter);
            EXPECT_TRUE(run.ok);
            EXPECT_TRUE(run.out == expected.out) << run.out << "\n----\n" << expected.out;
            EXPECT_EQ(run.err, expected.err);
            EXPECT_EQ(filter.left_out(), left_out);
        }
    }
}

struct failing_listing {
    const char* name;
    std::string listing;
    const char* message; // printed where reading fails
};

// libxml2 prints its diagnostics the moment it meets the fault, while the
// trace waits in standard output's buffer: in one file the diagnostic stands
// where the trace was flushed last. Read node by node on one thread, as the
// program always did, or through blocks on two threads, the file is the same.
TEST_F(Reader, FailingListingPrintsInOneOrderOnOneOrTwoThreads) {
    const std::string body = long_listing(3000);
    const std::string bomb = "<!DOCTYPE tv [<!ENTITY x '" + std::string(10000, 'x') +
                             "'><!ENTITY y '&x;&x;&x;&x;&x;&x;&x;&x;&x;&x;'>]>";
    std::string bomb_source;
    for (int i = 0; i < 101; ++i) bomb_source += "&y;";
    const failing_listing listings[] = {
        {"truncated", body + "<programme start='1' stop='2' channel='c1'><title>cut", "parser error"},
        {"tag mismatch", body + "<programme start='1' stop='2' channel='c1'><title>T</desc></programme>",
         "parser error"},
        {"undefined entity", body + "<programme start='1' stop='2' channel='c1'><title>&nope;</title>",
         "parser error"},
        {"oversized attribute", bomb + body + "<icon src='" + bomb_source + "'/></tv>",
         "attribute src of icon is longer"},
    };
    const reading_plan node_by_node{false, 1};
    const reading_plan plans[] = {{false, std::size_t{64} << 10}, {true, std::size_t{1} << 20}, {true, 64}};
    for (const failing_listing& failing : listings) {
        SCOPED_TRACE(failing.name);
        const std::string expected = combined_output(failing.listing, node_by_node);
        // The trace was flushed before the message, and goes on after it.
        const std::size_t message = expected.find(failing.message);
        ASSERT_NE(message, std::string::npos) << expected.substr(0, 200);
        EXPECT_GT(message, std::size_t{1} << 16);
        EXPECT_NE(expected.find("programme ", message), std::string::npos);
        for (const reading_plan& plan : plans) {
            SCOPED_TRACE(testing::Message() << "second thread " << plan.second_thread << ", blocks of "
                                            << plan.block_size);
            const std::string output = combined_output(failing.listing, plan);
            EXPECT_EQ(output.size(), expected.size());
            EXPECT_TRUE(output == expected) << "first difference at byte "
                                            << std::mismatch(output.begin(), output.end(), expected.begin(),
                                                             expected.end()).first - output.begin();
        }
    }
}

TEST_F(Reader, UnopenableListing) {
    const run_output run = read_file("no-such-listing.xml");
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.out, "");
    const std::string listing = TEST_DATA_DIR "/no-such-listing.xml";
    EXPECT_EQ(run.err, "Unable to open " + listing + "\nguidepack: " + listing + ": No such file or directory\n");
    EXPECT_EQ(prg_file.nb_channels, 0);
}

// Real listings: what matters is that every programme whose channel is
// declared lands in it, in order.
struct real_listing {
    const char* file;
    std::vector<std::string> ids;
    std::vector<int> programmes;
    int incomplete;
};

TEST_F(Reader, RealListings) {
    const real_listing listings[] = {
        {"XMLTV-xmltv__test.xml", {"3sat.de", "das-erste.de"}, {0, 0}, 1}, // its programme has no stop
        {"iptv-org-epg__nzxmltv.com__content.xml", {"1"}, {2}, 0},
        {"jellyfin-Jellyfin.XmlTv__schedulesdirect.xml",
         {"EPG123.10108.schedulesdirect.org", "EPG123.10091.schedulesdirect.org"}, {2, 0}, 0},
        {"iptv-org-epg__epg.iptvx.one__content.xml.gz", {"12-omsk"}, {230}, 0},
    };
    for (const real_listing& listing : listings) {
        SCOPED_TRACE(listing.file);
        start_model();
        const run_output run = read_file(listing.file);
        EXPECT_TRUE(run.ok);
        EXPECT_EQ(run.err, "");
        ASSERT_EQ(prg_file.nb_channels, static_cast<int>(listing.ids.size()));
        int total = 0;
        for (std::size_t i = 0; i < listing.ids.size(); ++i) {
            const channel_t& channel = prg_file.channels[i];
            EXPECT_EQ(channel.id, listing.ids[i]);
            EXPECT_EQ(channel.nb_programs, listing.programmes[i]);
            total += channel.nb_programs;
        }
        EXPECT_EQ(count_lines(run.out, "nouveau programme\n"), total + listing.incomplete);
        EXPECT_EQ(count_lines(run.out, "programme "), total);
        EXPECT_EQ(count_lines(run.out, "!!!!! programme incomplet !!!!!\n"), listing.incomplete);
        EXPECT_EQ(count_lines(run.out, "!!!!! programme orphelin"), 0);
    }
}

TEST_F(Reader, RealListingValues) {
    ASSERT_TRUE(read_file("iptv-org-epg__nzxmltv.com__content.xml").ok);
    ASSERT_EQ(prg_file.channels.size(), 1U);
    const channel_t& nz = prg_file.channels[0];
    EXPECT_EQ(nz.display_name, "TVNZ 1");
    const std::vector<program_t> nz_programs = programs(0);
    ASSERT_EQ(nz_programs.size(), 2U);
    EXPECT_EQ(nz_programs[0][program_field::title], "Sunday");
    EXPECT_FALSE(nz_programs[0][program_field::date]); // <date></date>
    EXPECT_EQ(nz_programs[0][program_field::rating], "0/10");
    EXPECT_EQ(nz_programs[1][program_field::date], "2017");
    EXPECT_EQ(nz_programs[1][program_field::category], "Documentary/Factual");
    EXPECT_EQ(nz_programs[1][program_field::stop], "20231121121000 +0000");

    start_model();
    ASSERT_TRUE(read_file("jellyfin-Jellyfin.XmlTv__schedulesdirect.xml").ok); // starts with a BOM
    ASSERT_EQ(prg_file.channels.size(), 2U);
    EXPECT_EQ(prg_file.channels[0].display_name, "CTV");
    // The programmes' posters, after the second channel, leave its logo alone.
    EXPECT_EQ(prg_file.channels[1].icon, "s10091_dark_360w_270h.png");
    EXPECT_EQ(programs(0)[0][program_field::presenter], "Alec Baldwin");

    start_model();
    const run_output russian = read_file("iptv-org-epg__epg.iptvx.one__content.xml.gz");
    ASSERT_TRUE(russian.ok);
    ASSERT_EQ(prg_file.channels.size(), 1U);
    ASSERT_FALSE(programs(0).empty());
    EXPECT_NE(russian.out.find("\ttitle = д/с Необыкновенные люди\n"), std::string::npos);
    EXPECT_EQ(programs(0)[0][program_field::title], "д/с Необыкновенные люди");
}

// Only a local gzip file is unpacked ahead; "-", URLs and the rest are libxml2's.
TEST(ReadAhead, OnlyLocalGzipFiles) {
    const std::string gzip = std::string(TEST_DATA_DIR) + "/iptv-org-epg__epg.iptvx.one__content.xml.gz";
    EXPECT_TRUE(listing_read_ahead::suits(gzip.c_str()));
    for (const std::string& other : {std::string(TEST_DATA_DIR) + "/sample.xml", std::string("-"), "file://" + gzip,
                                     "FILE:" + gzip})
        EXPECT_FALSE(listing_read_ahead::suits(other.c_str())) << other;
}

} // namespace
