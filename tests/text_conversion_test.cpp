// --transliterate: what the guide cannot hold becomes its nearest ASCII, run
// by run, each run asked of ICU once; and the characters dropped are counted.
#include "guide/text_conversion.hpp"
#include "run/run_messages.hpp"

#include "captured_output.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// The guide's bytes for `text`, without their length.
std::string guide_text(text_conversion& conversion, const std::string& text) {
    std::string out;
    append_guide_string(out, text, conversion);
    return out.substr(2);
}

// Each result checked once against ICU 72, then written here by hand. The
// letters the guide keeps stay its Latin-1 bytes.
TEST(TextConversion, LanguagesBecomeTheirNearestAscii) {
    const std::pair<const char*, const char*> cases[] = {
        {"\xC3\x89pisode 3", "Episode 3"},             // Épisode 3
        {"s\xC5\x93ur", "soeur"},                      // sœur
        {"l\xE2\x80\x99\xC3\xA9t\xC3\xA9", "l'\xE9t\xE9"}, // l’été
        {"Stra\xC3\x9F" "e f\xC3\xBCr", "Strasse fur"}, // Straße für
        {"Pel\xC3\xAD" "cula", "Pelicula"},            // Película
        {"\xC5\x81\xC3\xB3" "d\xC5\xBA", "Lodz"},      // Łódź
        {"P\xC5\x99\xC3\xADli\xC5\xA1 \xC5\xBElu\xC5\xA5ou\xC4\x8Dk\xC3\xBD", "Prilis zlutoucky"}, // Příliš žluťoučký
        {"\xD0\x9F\xD0\xB5\xD1\x80\xD0\xB2\xD1\x8B\xD0\xB9 \xD0\xBA\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBB", "Pervyj kanal"},
        {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAE", "Ellenike"}, // Ελληνική
    };
    std::string error;
    text_conversion conversion;
    conversion.transliterate_with(ascii_transliterator::create(error));
    for (const auto& [text, guide] : cases) EXPECT_EQ(guide_text(conversion, text), guide) << text;
}

// Writes "<", the run's size and a euro sign, and remembers what it was asked.
struct recording_transliterator final : ascii_transliterator {
    std::vector<std::string>* asked;
    explicit recording_transliterator(std::vector<std::string>* runs) : asked(runs) {}
    void append(std::string_view text, std::string& out) const override {
        out += "<" + std::to_string(asked->emplace_back(text).size()) + "\xE2\x82\xAC";
    }
};

TEST(TextConversion, EachRunAloneAndOnce) {
    std::vector<std::string> asked;
    text_conversion conversion;
    conversion.transliterate_with(std::make_unique<recording_transliterator>(&asked));
    conversion.count_dropped();
    // Runs end at ASCII, at a kept letter and at a byte of no character.
    EXPECT_EQ(guide_text(conversion, "a\xD0\x96\xD0\x96 \xE2\x80\x99\xC3\xA9\xE2\x80\x99\xFF\xE2\x80\x99"),
              "a<4 <3\xE9<3<3");
    EXPECT_EQ(asked, (std::vector<std::string>{"\xD0\x96\xD0\x96", "\xE2\x80\x99"}));
    EXPECT_EQ(conversion.dropped(), 5u); // four euro signs and the stray byte
    const std::string kept = "\xC3\xA9t\xC3\xA9 \xC2\xAB\xC3\x87" "a\xC2\xBB";
    EXPECT_EQ(conversion.convert(kept).data(), kept.data()); // the text itself, no copy
    std::string huge; // cut at a character, so that ICU never holds it whole
    while (huge.size() <= text_conversion::longest_run) huge += "\xD0\x96";
    conversion.convert(huge);
    EXPECT_EQ(asked.size(), 4u);
}

// Without a transliterator, only counted; start and stop too.
TEST(TextConversion, CountsWithoutTransliterating) {
    text_conversion conversion;
    conversion.count_dropped();
    program_t program;
    program[program_field::start] = "2007\xE2\x82\xAC";
    program[program_field::title] = "\xC3\x89t\xC3\xA9 \xD0\x96";
    std::string record, plain;
    stamp_converter stamps;
    append_program_record(record, program, stamps, conversion);
    append_program_record(plain, program, stamps);
    EXPECT_EQ(record, plain);
    EXPECT_EQ(conversion.dropped(), 3u);
}

TEST(RunCache, StaysWithinItsBudgetKeepingTheRunsInUse) {
    run_cache cache(4096);
    cache.add("used", {"u", 0});
    for (int i = 0; i < 1000; ++i) {
        cache.add("run " + std::to_string(i), {"result", 0});
        ASSERT_TRUE(cache.find("used") != nullptr && cache.bytes() <= 2 * 4096) << i;
    }
    EXPECT_EQ(cache.find("run 0"), nullptr);
}

// ICU without the data it needs refuses the rules as it refuses unknown ones.
TEST(AsciiTransliterator, RefusedWithIcusErrorName) {
    std::string error;
    EXPECT_EQ(ascii_transliterator::create(error, ":: Any-Nowhere ;"), nullptr);
    captured_output err(stderr);
    report_no_transliterator(error);
    EXPECT_EQ(err.take(), "guidepack: --transliterate: ICU cannot make its transliterator: U_INVALID_ID\n");
}

} // namespace
