// guidepack [OPTION]... LISTING [GUIDE]: reads an XMLTV listing, traces what
// it finds, and writes the guide file when a second path is given. With
// -o GUIDE, every operand is a listing, read into the one guide.
#include "cli/command_line.hpp"
#include "cli/listing_guard.hpp"
#include "cli/listing_selection.hpp"
#include "cli/read_listings.hpp"
#include "cli/standard_streams.hpp"
#include "guide/guide_model.hpp"
#include "guide/guide_writer.hpp"
#include "guide/record_store.hpp"
#include "guide/run_stats.hpp"
#include "guide/signal_cleanup.hpp"
#include "guide/temporary_files.hpp"
#include "guide/trace.hpp"

#include <libxml/parser.h>
#include <libxml/xmlmemory.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <unistd.h>
#include <utility>

namespace {

// The zone asked for, or none; false, after saying so, for an unknown one.
bool find_zone(const run_options& options, std::optional<zone_time_converter>& zone) {
    if (!options.time_zone) return true;
    zone = zone_time_converter::locate(*options.time_zone);
    if (zone) return true;
    // For "local", the name TZ or /etc/localtime gave.
    const bool local = *options.time_zone == "local";
    const std::string name = local ? zone_time_converter::local_zone_name() : *options.time_zone;
    std::fprintf(stderr, "guidepack: unknown time zone '%s'%s\n", name.c_str(), local ? " (local)" : "");
    // Debian 13 moved the old names out of tzdata.
    std::fputs("guidepack: zones are named as in the tz database (Europe/Paris); old names such as "
               "US/Eastern, CET or Asia/Calcutta come with the package tzdata-legacy\n",
               stderr);
    return false;
}

void report_unreadable_times(const record_store& records) {
    const std::uint64_t count = records.unreadable_times();
    if (count == 0) return;
    std::fprintf(stderr,
                 count == 1 ? "guidepack: %llu start or stop time is not an XMLTV time: "
                              "written as it stands, cut to 12 characters\n"
                            : "guidepack: %llu start or stop times are not XMLTV times: "
                              "written as they stand, cut to 12 characters\n",
                 static_cast<unsigned long long>(count));
}

void report_guide_kept(const char* guide) {
    std::fprintf(stderr, "guidepack: %s left as it was (--no-partial): the listing was not read to its end\n",
                 guide);
}

// For the benchmark: what went through the spill, with
// GUIDEPACK_BENCH_SPILL set in the environment.
void report_spill_counts(const record_store& records) {
    if (std::getenv("GUIDEPACK_BENCH_SPILL") == nullptr) return;
    const record_store::spill_counts& counts = records.counts();
    std::fprintf(stderr, "guidepack: spill: %llu bytes written, %llu bytes read back in %llu reads\n",
                 static_cast<unsigned long long>(counts.written), static_cast<unsigned long long>(counts.read_back),
                 static_cast<unsigned long long>(counts.reads));
}

// Writes the guide from what the model holds, stamped with `time` or else
// the clock; false when that failed.
bool write_guide(const char* guide, record_store& records, run_stats& stats,
                 std::optional<std::chrono::sys_seconds> time) {
    std::uint64_t bytes = 0;
    const bool saved = save_prg_file(guide, records, &bytes, time);
    if (saved) stats.guide_bytes = bytes;
    report_unreadable_times(records);
    report_spill_counts(records);
    return saved;
}

int run(const run_options& options) {
    run_stats stats;
    if (options.quiet) silence_trace();
    else if (options.guide != nullptr && is_standard_output(options.guide)) {
        std::fprintf(stderr,
                     "guidepack: %s is standard output, where the trace goes: "
                     "use --quiet to write the guide there\n",
                     options.guide);
        return 1;
    }
    if (options.guide != nullptr && !options.force && refuse_listing_as_guide(options.guide)) return 1;
    std::optional<zone_time_converter> zone;
    if (!find_zone(options, zone)) return 1;
    std::optional<std::chrono::sys_seconds> fixed_time;
    listing_filter filter;
    if (!find_fixed_time(fixed_time) || !set_up_filter(options, fixed_time, filter)) return 1;

    // The programmes are kept only when there is a guide to write.
    std::unique_ptr<record_store> records;
    if (options.guide != nullptr) {
        records = record_store::create_in(spill_folders_for(options.guide));
        if (!records) return 1;
        records->convert_stamps_with(stamp_converter(std::move(zone)));
    }

    buffer_trace();
    xmlCheckVersion(20627);
    reset_guide_model();
    keep_programs_in(records.get());

    // A guide is written even from a listing that failed: it holds what was
    // attached before the failure, unless --no-partial says otherwise.
    // Listings of which nothing at all could be read, or a channel selection
    // that matched nothing, leave the guide as it was. Any failure makes the
    // status 1.
    reading_plan plan = reading_plan::for_this_process();
    plan.show_progress = options.quiet && ::isatty(STDERR_FILENO);
    const listings_read read = read_listings(options.listings, plan, filter);
    stats.listings_read = read.with_nodes;
    const bool selected = any_channel_selected(options, filter);
    bool ok = read.complete && selected;
    if (records && read.with_nodes > 0 && selected) {
        if (options.no_partial && !read.complete) report_guide_kept(options.guide);
        else ok = write_guide(options.guide, *records, stats, fixed_time) && ok;
    }
    report_unmatched_lines(options, filter);
    ok = finish_trace() && ok;
    stats.count_model();
    stats.other_channels = static_cast<std::int64_t>(filter.left_out().programmes_of_channels);
    stats.outside_window = static_cast<std::int64_t>(filter.left_out().programmes_out_of_time);
    if (options.stats) print_run_stats(stats);

    xmlCleanupParser();
    xmlMemoryDump();
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything is opened, so that no file of ours can become a
    // standard stream that was closed.
    fill_closed_standard_streams();
    const command asked = parse_command_line(argc, argv);
    if (const int* status = std::get_if<int>(&asked)) return *status;
    const run_options& options = std::get<run_options>(asked);
    fail_writes_past_size_limit();
    // What stops a run on the way has unwound it here: the temporary files
    // are gone and the old guide is as it was.
    try {
        return run(options);
    } catch (const spill_failure& failure) {
        std::fprintf(stderr, "%s : failed to write\nguidepack: %s\n", options.guide, failure.what());
    } catch (const std::bad_alloc&) {
        std::fputs("guidepack: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "guidepack: %s\n", error.what());
    }
    finish_trace();
    return 1;
}
