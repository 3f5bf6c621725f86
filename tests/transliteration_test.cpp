#include "guide/transliteration.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace {

using namespace std::string_literals;

// fix_utf8 as the guide records run it: into exactly the room promised,
// `offset` bytes into a buffer of stale bytes. Nothing outside that room may
// change, and only what the returned end marks is the result.
std::string converted(std::string_view text, std::size_t offset = 0) {
    constexpr char stale = '\xA5';
    constexpr std::size_t margin = 16;
    const std::size_t room = max_fixed_size(text.size());
    std::string buffer(offset + room + margin, stale);
    char* const start = buffer.data() + offset;
    char* const end = fix_utf8(text, start);
    EXPECT_EQ(buffer.substr(0, offset), std::string(offset, stale)) << "wrote before its room";
    EXPECT_EQ(buffer.substr(offset + room), std::string(margin, stale)) << "wrote past its room";
    if (end < start || end > start + room) {
        ADD_FAILURE() << "end " << end - start << " bytes into a room of " << room;
        return {};
    }
    return std::string(start, end);
}

// A record's text seldom starts on an aligned address.
constexpr std::size_t unaligned = 1;

std::string hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 0xF];
    }
    return text;
}

struct case_t {
    const char* name;
    std::string input;
    std::string expected;
};

void expect_cases(const std::initializer_list<case_t>& cases) {
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hex(converted(c.input)), hex(c.expected)) << "input " << hex(c.input);
        EXPECT_EQ(hex(converted(c.input, unaligned)), hex(c.expected))
            << "unaligned, input " << hex(c.input);
    }
}

TEST(Transliteration, TableAfterC3) {
    expect_cases({
        {"C cedilla", "\xC3\x87", "C"},
        {"a grave", "\xC3\xA0", "\xE0"},
        {"a circumflex", "\xC3\xA2", "\xE2"},
        {"c cedilla", "\xC3\xA7", "\xE7"},
        {"e grave", "\xC3\xA8", "\xE8"},
        {"e acute", "\xC3\xA9", "\xE9"},
        {"e circumflex", "\xC3\xAA", "\xEA"},
        {"e diaeresis", "\xC3\xAB", "\xEB"},
        {"i circumflex", "\xC3\xAE", "\xEE"},
        {"i diaeresis", "\xC3\xAF", "\xEF"},
        {"o circumflex", "\xC3\xB4", "\xF4"},
        {"u grave", "\xC3\xB9", "\xF9"},
        {"y acute", "\xC3\xBD", "oe"},
        {"in a word", "d\xC3\xA9j\xC3\xA0 vu", "d\xE9j\xE0 vu"},
    });
}

TEST(Transliteration, EveryOtherByteAfterC3YieldsNothing) {
    const std::string listed = "\x87\xA0\xA2\xA7\xA8\xA9\xAA\xAB\xAE\xAF\xB4\xB9\xBD";
    for (int b = 0; b < 0x100; ++b) {
        if (listed.find(static_cast<char>(b)) != std::string::npos) continue;
        const std::string input = "<\xC3"s + static_cast<char>(b) + ">";
        EXPECT_EQ(hex(converted(input)), hex("<>")) << "input " << hex(input);
    }
}

TEST(Transliteration, Consequences) {
    expect_cases({
        {"byte after C2 consumed", "x\xC2" "Ay", "xy"},
        {"byte after C3 consumed", "x\xC3" "Ay", "xy"},
        {"C2 before BD", "\xC2\xBD", "oe"},
        {"lone BD", "a\xBD" "b", "aoeb"},
        {"BD ending a 3-byte sequence", "a\xE2\x82\xBD" "b", "aoeb"},
        {"BD inside a 4-byte sequence", "a\xF0\x9F\x82\xBD" "b", "aoeb"},
        {"C3 after C2 is a lead byte", "\xC2\xC3\xA9", "\xE9"},
        {"C3 after C3 is the table byte", "\xC3\xC3\xA9", ""},
        {"C2 after C3 is the table byte", "\xC3\xC2\xAB", ""},
        {"C2 after C2 is consumed", "\xC2\xC2\xAB", ""},
        {"apostrophe", "l\xE2\x80\x99" "eau", "leau"},
        {"dash", "a \xE2\x80\x93 b", "a  b"},
        {"euro sign", "5\xE2\x82\xAC", "5"},
        {"4-byte emoji", "[\xF0\x9F\x98\x80]", "[]"},
        {"C2 last", "ab\xC2", "ab"},
        {"C3 last", "ab\xC3", "ab"},
        {"C2 C3 last", "ab\xC2\xC3", "ab"},
        {"C2 alone", "\xC2", ""},
        {"C3 alone", "\xC3", ""},
        {"other C2 character", "1\xC2\xB0" "C", "1C"},
    });
}

TEST(Transliteration, OtherHighBytesAreDropped) {
    for (int b = 0x80; b < 0x100; ++b) {
        if (b == 0xC2 || b == 0xC3 || b == 0xBD) continue;
        const std::string input = "x"s + static_cast<char>(b) + "y";
        EXPECT_EQ(hex(converted(input)), hex("xy")) << "input " << hex(input);
    }
}

TEST(Transliteration, QuotationMarks) {
    expect_cases({
        {"guillemets", "\xC2\xAB" "Film\xC2\xBB", "\"Film\""},
        {"guillemets with spaces", "\xC2\xAB\xC2\xA0" "Film\xC2\xA0\xC2\xBB", "\"Film\""},
    });
}

TEST(Transliteration, EdgeCases) {
    expect_cases({
        {"Une chaine", "Une cha\xC3\xAEne", "Une cha\xEEne"},
        {"ETE", "\xC3\x89T\xC3\x89", "T"},
        {"Ca", "\xC3\x87" "a", "Ca"},
        {"ca", "\xC3\xA7" "a", "\xE7" "a"},
        {"C3 BD", "\xC3\xBD", "oe"},
        {"empty", "", ""},
    });
    EXPECT_EQ(converted("Une cha\xC3\xAEne").size(), 10u);
}

TEST(Transliteration, AsciiIsCopiedUnchanged) {
    std::string ascii;
    for (int b = 0; b < 0x80; ++b) ascii += static_cast<char>(b);
    expect_cases({
        {"every ASCII byte", ascii, ascii},
        {"tab and newline", "a\tb\nc\r\n", "a\tb\nc\r\n"},
        {"embedded NUL", "a\0b"s, "a\0b"s},
        {"ASCII after a converted letter", "\xC3\xA9t\xC3\xA9\x01\x7F\t\n", "\xE9t\xE9\x01\x7F\t\n"},
    });
}

TEST(Transliteration, LeadByteAtTheEndDoesNotReadPastTheInput) {
    // Each view stops before a byte that would change the result if it were read.
    struct bounded_case {
        const char* buffer;
        std::size_t length;
        std::string expected;
    };
    const bounded_case cases[] = {
        {"x\xC3\xA9", 2, "x"},
        {"x\xC3\xBD", 2, "x"},
        {"x\xC2\xAB", 2, "x"},
        {"x\xC2\xBD", 2, "x"},
        {"x\xC2\xC3\xA9", 3, "x"},
        {"x\xC2\xC3\xA9", 2, "x"},
        {"x\xC3\xC3\xA9", 3, "x"},
    };
    for (const bounded_case& c : cases) {
        const std::string_view text(c.buffer, c.length);
        EXPECT_EQ(hex(converted(text)), hex(c.expected)) << "input " << hex(text);
        EXPECT_EQ(hex(converted(text, unaligned)), hex(c.expected)) << "unaligned, input " << hex(text);
    }
}

// The walk, step by step, as plainly as it can be written.
std::string reference_walk(std::string_view text) {
    std::string out;
    std::size_t p = 0;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    while (p < text.size()) {
        if (at(p) < 0x80) {
            out += text[p++];
            continue;
        }
        if (at(p) == 0xC2) {
            ++p;
            if (p < text.size() && (at(p) == 0xAB || at(p) == 0xBB)) out += '"';
        }
        if (p < text.size() && at(p) == 0xC3) {
            ++p;
            if (p < text.size()) {
                switch (at(p)) {
                case 0x87: out += 'C'; break;
                case 0xA0: out += '\xE0'; break;
                case 0xA2: out += '\xE2'; break;
                case 0xA7: out += '\xE7'; break;
                case 0xA8: out += '\xE8'; break;
                case 0xA9: out += '\xE9'; break;
                case 0xAA: out += '\xEA'; break;
                case 0xAB: out += '\xEB'; break;
                case 0xAE: out += '\xEE'; break;
                case 0xAF: out += '\xEF'; break;
                case 0xB4: out += '\xF4'; break;
                case 0xB9: out += '\xF9'; break;
                case 0xBD: out += "oe"; break;
                default: break;
                }
            }
        } else if (p < text.size() && at(p) == 0xBD) {
            out += "oe";
        }
        if (p >= text.size()) break;
        ++p;
    }
    return out;
}

// Deterministic: every run checks the same strings.
class byte_source {
public:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 32);
    }

    char byte() {
        static constexpr unsigned char interesting[] = {
            0xC2, 0xC3, 0xBD, 0xAB, 0xBB, 0xA9, 0x87, 0xAE, 0xE2, 0x80, 0x99, 0xF0};
        const std::uint32_t kind = next() % 4;
        if (kind == 0) return static_cast<char>(next() % 0x80);
        if (kind == 1) return static_cast<char>(next() % 0x100);
        return static_cast<char>(interesting[next() % sizeof interesting]);
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

bool allowed(unsigned char b) {
    static const std::string latin1 = "\xE0\xE2\xE7\xE8\xE9\xEA\xEB\xEE\xEF\xF4\xF9";
    return b < 0x80 || latin1.find(static_cast<char>(b)) != std::string::npos;
}

// Checks one input against the step-by-step walk and the output's limits.
void expect_converted_like_the_walk(const std::string& input) {
    const std::string out = converted(input);
    const std::string out_unaligned = converted(input, unaligned);
    const std::string expected = reference_walk(input);

    ASSERT_LE(out.size(), 2 * input.size()) << "input " << hex(input);
    for (const char c : out)
        ASSERT_TRUE(allowed(static_cast<unsigned char>(c))) << "input " << hex(input);
    ASSERT_EQ(out_unaligned, out) << "input " << hex(input);
    ASSERT_EQ(hex(out), hex(expected)) << "input " << hex(input);
}

TEST(Transliteration, RandomBytesGiveOnlyAllowedBytes) {
    byte_source source;
    std::string input;
    for (int round = 0; round < 100000; ++round) {
        input.clear();
        const std::uint32_t length = source.next() % 65;
        for (std::uint32_t i = 0; i < length; ++i) input += source.byte();
        ASSERT_NO_FATAL_FAILURE(expect_converted_like_the_walk(input));
    }
}

// Like real text: ASCII runs of every length up to 40, so that the copying of
// whole blocks of ASCII starts and stops at every offset.
TEST(Transliteration, RandomTextWithAsciiRunsGivesWhatTheWalkGives) {
    byte_source source;
    std::string input;
    for (int round = 0; round < 20000; ++round) {
        input.clear();
        const std::uint32_t runs = source.next() % 6;
        for (std::uint32_t r = 0; r < runs; ++r) {
            const std::uint32_t ascii = source.next() % 41;
            for (std::uint32_t i = 0; i < ascii; ++i) input += static_cast<char>(' ' + source.next() % 95);
            const std::uint32_t others = source.next() % 4;
            for (std::uint32_t i = 0; i < others; ++i) input += source.byte();
        }
        ASSERT_NO_FATAL_FAILURE(expect_converted_like_the_walk(input));
    }
}

// A well-formed character counts as dropped exactly when fix_utf8 writes
// nothing for it alone; ASCII around it moves it to every offset. A byte
// that is part of no character is one, kept only as 0xBD ("oe").
TEST(Transliteration, CountsTheCharactersItDrops) {
    static const std::string characters[] = {"a", "\xC3\xA9", "\xC3\x89", "\xC3\x87", "\xC2\xAB", "\xC2\xB0",
        "\xC2\xBD", "\xC3\xBD", "\xE2\x80\x99", "\xE2\x82\xBD", "\xD0\xBD", "\xD0\x96", "\xF0\x9F\x98\x80"};
    byte_source source;
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        std::uint64_t expected = 0;
        for (std::uint32_t n = source.next() % 8; n > 0; --n) {
            const std::string& c = characters[source.next() % std::size(characters)];
            text += std::string(source.next() % 20, 'x') + c;
            expected += converted(c).empty();
        }
        ASSERT_EQ(count_dropped_characters(text), expected) << "input " << hex(text);
    }
    EXPECT_EQ(count_dropped_characters("\xFF a\xBD \xE2\x82 \xE2\xBD \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80"), 13u);
}

TEST(Transliteration, ReturnsTheEndOfWhatItWrote) {
    std::string out(100, 'z');
    char* end = fix_utf8("\xC3\xA9t\xC3\xA9", out.data());
    EXPECT_EQ(hex(std::string(out.data(), end)), hex("\xE9t\xE9"));
    end = fix_utf8("", out.data());
    EXPECT_EQ(std::string(out.data(), end), "");
}

} // namespace
