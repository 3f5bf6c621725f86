// What the transliteration made of the runs met lately, so that a run met
// again (a Cyrillic word, a ’, a œ) costs a lookup instead of a call to ICU.
//
// Bounded by bytes: results go into the newer of two generations; when it
// is full, the older one is dropped and the newer takes its place. A run
// found in the older generation moves to the newer, so the runs in use stay
// whatever else passes through.
#pragma once

#include "common/text.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

class run_cache {
public:
    struct result {
        std::string text;          // UTF-8, for fix_utf8
        std::uint64_t dropped = 0; // characters of it that fix_utf8 drops
    };

    // Runs longer than this are not kept: they seldom come back, and would
    // crowd out many short ones.
    static constexpr std::size_t longest_kept_run = 1024;
    static constexpr std::size_t default_generation_bytes = std::size_t{1} << 20;

    explicit run_cache(std::size_t generation_bytes = default_generation_bytes)
        : generation_bytes_(generation_bytes) {}

    // The result kept for `run`, or null; valid until the next add().
    const result* find(std::string_view run);

    // Keeps `value` as the result for `run` (not found before) and returns
    // it; valid until the next add().
    const result& add(std::string_view run, result value);

    // The bytes the results take, roughly, for the checks.
    std::size_t bytes() const { return newer_bytes_ + older_bytes_; }

private:
    using generation = std::unordered_map<std::string, result, id_hash, std::equal_to<>>;
    static std::size_t cost(std::string_view run, const result& value);
    const result* find_in_generations(std::string_view run);

    // A run of up to 7 bytes as one number: its bytes and its length.
    static constexpr std::size_t shortest_runs = 7;
    static std::uint64_t packed(std::string_view run);
    struct short_entry {
        std::uint64_t run = 0; // 0: empty (no run is empty)
        const result* value = nullptr;
    };
    std::array<short_entry, 256> short_runs_{};

    std::size_t generation_bytes_;
    generation newer_;
    generation older_;
    std::size_t newer_bytes_ = 0;
    std::size_t older_bytes_ = 0;
    result unkept_; // the last result of a run too long to keep
};
