// How the guide's strings meet fix_utf8 when more is asked than the plain
// conversion: with --transliterate, every run of characters the guide cannot
// hold is first replaced by its ASCII form (ascii_transliterator); with
// --stats, the characters fix_utf8 drops are counted.
//
// A run is the longest stretch of well-formed characters outside ASCII, « »,
// Ç and the eleven letters the guide keeps; each run is transliterated on
// its own, so its result is kept (run_cache) for the next time it comes.
// Bytes that are not well-formed UTF-8 are no characters: they stay as they
// are, between runs.
#pragma once

#include "guide/ascii_transliterator.hpp"
#include "guide/guide_record.hpp"
#include "guide/run_cache.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class text_conversion {
public:
    // Runs are cut at this size, so that ICU never holds a whole huge text.
    static constexpr std::size_t longest_run = std::size_t{1} << 20;

    void transliterate_with(std::unique_ptr<ascii_transliterator> transliterator) {
        transliterator_ = std::move(transliterator);
    }
    void count_dropped() { counting_ = true; }

    // False when neither is asked: strings go to fix_utf8 as they are.
    bool active() const { return transliterator_ || counting_; }

    // The text fix_utf8 is to convert for `text`: `text` itself, or its
    // transliteration, valid until the next call. Counts what fix_utf8 will
    // drop of it.
    std::string_view convert(std::string_view text);

    // Counts what fix_utf8 will drop of `text`, which is not transliterated
    // (start and stop times).
    void count(std::string_view text);

    // The characters fix_utf8 dropped from the strings given so far.
    std::uint64_t dropped() const { return dropped_; }

private:
    std::string_view transliterate_runs(std::string_view text, std::size_t first_high);
    void append_run(std::string_view run);

    std::unique_ptr<ascii_transliterator> transliterator_;
    bool counting_ = false;
    std::uint64_t dropped_ = 0;
    run_cache cache_;
    std::string converted_;
};

// append_guide_string (guide_record.hpp), the text first given to `text`.
// The plain one, apart, stays what a run without these options runs.
void append_guide_string(std::string& out, text_view field, text_conversion& text);

// append_program_record, every string but start and stop first given to
// `text`; those two are only counted.
void append_program_record(std::string& out, const program_t& program, stamp_converter& stamps,
                           text_conversion& text);
