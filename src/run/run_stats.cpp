#include "run/run_stats.hpp"

#include "guide/guide_model.hpp"

#include <cstdio>
#include <string>

namespace {

// "1 programme", "2 programmes".
std::string count_of(std::int64_t count, const char* noun) {
    std::string words = std::to_string(count) + ' ' + noun;
    if (count != 1) words += 's';
    return words;
}

std::string describe_run(const run_stats& stats, double seconds) {
    std::string line = "guidepack: " + count_of(stats.listings_read, "listing") + " read; " +
                       count_of(stats.channels, "channel") + " and " + count_of(stats.programmes, "programme");
    if (stats.guide_bytes) line += " written (" + count_of(static_cast<std::int64_t>(*stats.guide_bytes), "byte") + ")";
    else line += " read, no guide written";
    line += "; left out: " + count_of(stats.orphans, "orphan") + ", " + std::to_string(stats.incomplete) +
            " incomplete, " + std::to_string(stats.other_channels) + " on other channels, " +
            std::to_string(stats.outside_window) + " outside the time window, " +
            count_of(stats.duplicates, "duplicate") + "; ";
    if (stats.guide_bytes)
        line += count_of(static_cast<std::int64_t>(stats.characters_dropped), "character") + " dropped; ";
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.2f s", seconds);
    return line + duration;
}

} // namespace

void run_stats::count_model() {
    channels = prg_file.nb_channels;
    programmes = programmes_attached();
    orphans = prg_file.nb_orphans;
    incomplete = prg_file.nb_incomplete;
}

void run_stats::count_left_out(const left_out_counts& left_out) {
    other_channels = static_cast<std::int64_t>(left_out.programmes_of_channels);
    outside_window = static_cast<std::int64_t>(left_out.programmes_out_of_time);
    duplicates = static_cast<std::int64_t>(left_out.duplicates);
}

void print_run_stats(const run_stats& stats) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - stats.started;
    std::fprintf(stderr, "%s\n", describe_run(stats, elapsed.count()).c_str());
}
