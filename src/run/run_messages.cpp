#include "run/run_messages.hpp"

#include "guide/record_store.hpp"

#include <cstdio>
#include <cstdlib>

void report_unknown_zone(const std::string& name, bool local) {
    std::fprintf(stderr, "guidepack: unknown time zone '%s'%s\n", name.c_str(), local ? " (local)" : "");
    // Debian 13 moved the old names out of tzdata.
    std::fputs("guidepack: zones are named as in the tz database (Europe/Paris); old names such as "
               "US/Eastern, CET or Asia/Calcutta come with the package tzdata-legacy\n",
               stderr);
}

void report_no_transliterator(const std::string& error) {
    std::fprintf(stderr, "guidepack: --transliterate: ICU cannot make its transliterator: %s\n", error.c_str());
}

void report_guide_is_standard_output(const char* guide) {
    std::fprintf(stderr,
                 "guidepack: %s is standard output, where the trace goes: "
                 "use --quiet to write the guide there\n",
                 guide);
}

void report_unreadable_times(std::uint64_t count) {
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

void report_spill_counts(const record_store& records) {
    if (std::getenv("GUIDEPACK_BENCH_SPILL") == nullptr) return;
    const record_store::spill_counts& counts = records.counts();
    std::fprintf(stderr, "guidepack: spill: %llu bytes written, %llu bytes read back in %llu reads\n",
                 static_cast<unsigned long long>(counts.written), static_cast<unsigned long long>(counts.read_back),
                 static_cast<unsigned long long>(counts.reads));
}
