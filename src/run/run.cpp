#include "run/run.hpp"

#include "common/trace.hpp"
#include "guide/ascii_transliterator.hpp"
#include "guide/guide_model.hpp"
#include "guide/guide_writer.hpp"
#include "guide/record_store.hpp"
#include "guide/text_conversion.hpp"
#include "listing/libxml_library.hpp"
#include "replace/guide_file.hpp"
#include "replace/signal_cleanup.hpp"
#include "replace/temporary_files.hpp"
#include "run/guide_guard.hpp"
#include "run/listing_selection.hpp"
#include "run/read_listings.hpp"
#include "run/run_messages.hpp"
#include "run/run_stats.hpp"
#include "run/standard_streams.hpp"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>

namespace {

// What a run sets up before anything is read.
struct run_setup {
    std::optional<std::chrono::sys_seconds> fixed_time; // SOURCE_DATE_EPOCH
    listing_filter filter;
    // Where the guide goes, made ready before anything is read.
    std::optional<guide_file> guide;
    // With --transliterate, ICU's caches go once the records' transliterator
    // has gone before them.
    std::optional<icu_caches> icu;
    // The programmes are kept only when there is a guide to write.
    std::unique_ptr<record_store> records;
};

// False, after saying why, when the guide must not be written at all: it is
// where the trace goes, or it is some other file than a guide.
bool guide_may_be_written(const run_options& options) {
    if (options.guide == nullptr) return true;
    if (!options.quiet && is_standard_output(options.guide)) {
        report_guide_is_standard_output(options.guide);
        return false;
    }
    return options.force || !refuse_other_file_as_guide(options.guide, options.guide_from_option);
}

// The zone asked for, or none; false, after saying so, for an unknown one.
bool find_zone(const run_options& options, std::optional<zone_time_converter>& zone) {
    if (!options.time_zone) return true;
    zone = zone_time_converter::locate(*options.time_zone);
    if (zone) return true;
    // For "local", the name TZ or /etc/localtime gave.
    const bool local = *options.time_zone == "local";
    report_unknown_zone(local ? zone_time_converter::local_zone_name() : *options.time_zone, local);
    return false;
}

// How the guide's strings are converted beyond fix_utf8; false, after
// saying why, when ICU cannot transliterate.
bool set_up_text(const run_options& options, text_conversion& text, run_setup& setup) {
    if (options.stats) text.count_dropped();
    if (!options.transliterate) return true;
    setup.icu.emplace();
    std::string error;
    std::unique_ptr<ascii_transliterator> transliterator = ascii_transliterator::create(error);
    if (!transliterator) {
        report_no_transliterator(error);
        return false;
    }
    text.transliterate_with(std::move(transliterator));
    return true;
}

// Everything that can be refused before reading; false after saying why.
bool set_up(const run_options& options, run_setup& setup) {
    std::optional<zone_time_converter> zone;
    if (!find_zone(options, zone) || !find_fixed_time(setup.fixed_time) ||
        !set_up_filter(options, setup.fixed_time, setup.filter))
        return false;
    // Asked for, the transliterator is made even for a dry run, which
    // converts nothing: -t on a machine without ICU's data is refused alike.
    text_conversion text;
    if (!set_up_text(options, text, setup)) return false;
    if (options.guide == nullptr) return true;
    // A guide that cannot be written is found now, not after the whole
    // listing has been read.
    setup.guide.emplace(options.guide);
    if (!setup.guide->ready()) {
        report_unable_to_create(options.guide, setup.guide->failure());
        return false;
    }
    setup.records = record_store::create_in(spill_folders_for(options.guide));
    if (!setup.records) return false;
    setup.records->convert_stamps_with(stamp_converter(std::move(zone)));
    setup.records->convert_text_with(std::move(text));
    // Several sources of one channel: its programmes in time order.
    if (options.listings.size() > 1) setup.records->order_by_start();
    return true;
}

// Writes the guide from what the model holds; false when that failed.
bool write_guide(const char* guide, run_setup& setup, run_stats& stats) {
    record_store& records = *setup.records;
    std::uint64_t bytes = 0;
    const std::optional<std::vector<std::int32_t>> order = guide_channel_order(setup.filter);
    const bool saved =
        save_prg_file(*setup.guide, guide, records, {setup.fixed_time, order ? &*order : nullptr, &bytes});
    if (saved) {
        stats.guide_bytes = bytes;
        stats.characters_dropped = records.text().dropped();
    }
    report_unreadable_times(records.unreadable_times());
    report_spill_counts(records);
    return saved;
}

int run(const run_options& options) {
    run_stats stats;
    if (options.quiet) silence_trace();
    run_setup setup;
    if (!guide_may_be_written(options) || !set_up(options, setup)) return 1;

    buffer_trace();
    const libxml_library libxml;
    reset_guide_model();

    // A guide is written even from a listing that failed: it holds what was
    // attached before the failure, unless --no-partial says otherwise.
    // Listings of which nothing at all could be read, a channel selection
    // that matched nothing, or a new guide without programmes where the old
    // one has some, leave the guide as it was. Any failure makes the status 1.
    reading_plan plan = reading_plan::for_this_process();
    plan.show_progress = options.quiet && ::isatty(STDERR_FILENO);
    const listings_read read = read_listings(options.listings, plan, setup.filter, setup.records.get());
    stats.listings_read = read.with_nodes;
    const bool selected = any_channel_selected(options, setup.filter);
    bool ok = read.complete && selected;
    if (setup.records && read.with_nodes > 0 && selected) {
        if (options.no_partial && !read.complete) report_guide_kept(options.guide);
        else if (!options.force && keep_fuller_guide(options.guide, programmes_attached())) ok = false;
        else ok = write_guide(options.guide, setup, stats) && ok;
    }
    // An unwritten guide's temporary file goes at once.
    setup.guide.reset();
    report_unmatched_lines(options, setup.filter);
    ok = finish_trace() && ok;
    stats.count_model();
    stats.count_left_out(setup.filter.left_out());
    if (options.stats) print_run_stats(stats);
    return ok ? 0 : 1;
}

} // namespace

int run_guidepack(const run_options& options) {
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
