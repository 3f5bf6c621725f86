// What a run did, for the one line --stats prints on standard error at its
// end, for logs: what was read, written and left out, and how long it took.
#pragma once

#include "listing/listing_filter.hpp"

#include <chrono>
#include <cstdint>
#include <optional>

struct run_stats {
    std::int64_t listings_read = 0;
    std::int64_t channels = 0;
    std::int64_t programmes = 0;
    // Programmes left out, by reason.
    std::int64_t orphans = 0;
    std::int64_t incomplete = 0;
    std::int64_t other_channels = 0; // on a channel not asked for
    std::int64_t outside_window = 0; // outside the time window asked for
    std::int64_t duplicates = 0;     // overlapping what an earlier listing attached
    std::optional<std::uint64_t> guide_bytes; // none: no guide written
    // Characters of the guide's strings the single-byte conversion wrote
    // nothing for (count_dropped_characters); counted when a guide is written.
    std::uint64_t characters_dropped = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    // Takes the channels, the programmes attached and those dropped from the
    // guide model.
    void count_model();
    // Takes the programmes the walk left out.
    void count_left_out(const left_out_counts& left_out);
};

// Prints the line on standard error, timed from `stats.started`.
void print_run_stats(const run_stats& stats);
