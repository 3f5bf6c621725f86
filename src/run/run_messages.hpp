// What the run itself says on standard error, besides what the units it
// calls report where they find it.
#pragma once

#include <cstdint>
#include <string>

class record_store;

// The zone asked for is not in the tz database; `local` when it was "local",
// and `name` what TZ or /etc/localtime gave.
void report_unknown_zone(const std::string& name, bool local);

// ICU could not make the transliterator of --transliterate; `error` is
// ICU's name for why.
void report_no_transliterator(const std::string& error);

// The guide path is standard output, where the trace goes.
void report_guide_is_standard_output(const char* guide);

// How many start or stop times could not be read as XMLTV times, if any.
void report_unreadable_times(std::uint64_t count);

// --no-partial kept the guide.
void report_guide_kept(const char* guide);

// For the benchmark, with GUIDEPACK_BENCH_SPILL set in the environment: what
// went through the spill.
void report_spill_counts(const record_store& records);
