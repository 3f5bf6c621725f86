#include "cli/command_line.hpp"

#include "common/command_options.hpp"
#include "common/digits.hpp"
#include "common/version.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr const char* usage_line = "Usage: guidepack [OPTION]... LISTING [GUIDE]\n";
constexpr const char* output_usage_line = "  or:  guidepack [OPTION]... -o GUIDE LISTING...\n";

constexpr const char* help_text =
    "Convert the XMLTV listing LISTING into the PRG1 guide file GUIDE, printing\n"
    "a trace of every value taken on standard output. Without GUIDE the listing\n"
    "is only read and traced. LISTING may be - for standard input; a gzip\n"
    "listing is read as it is. An existing GUIDE is replaced whole or not at all.\n"
    "A GUIDE that is a file but no guide (it does not start with PRG1) is refused\n"
    "before anything is read, and a guide that holds programmes is not replaced\n"
    "by one that holds none. Arguments after GUIDE are ignored, with a warning;\n"
    "with -o, every LISTING is read, one after the other, into the one GUIDE: a\n"
    "later listing's programme that overlaps one an earlier listing gave its\n"
    "channel is left out, and each channel's programmes are written in time\n"
    "order.\n"
    "\n"
    "  -q, --quiet           print no trace (on a terminal, show a progress line\n"
    "                        on standard error instead)\n"
    "  -z, --time-zone=ZONE  write start and stop times as the wall-clock time in\n"
    "                        ZONE: an IANA name such as Europe/Paris, or local\n"
    "                        for this machine's zone (TZ is honoured)\n"
    "  -c, --channels=FILE   keep only the channels whose id matches a line of\n"
    "                        FILE (an id, or a pattern with *, ? and [...]),\n"
    "                        in the order of its lines\n"
    "      --from=TIME       leave out the programmes that end at or before TIME\n"
    "      --until=TIME      leave out the programmes that start at or after TIME\n"
    "      --days=N          the same as --from=now --until=now+Nd\n"
    "  -o, --output=GUIDE    write GUIDE from every LISTING given\n"
    "  -t, --transliterate   write what GUIDE cannot hold (other alphabets,\n"
    "                        capitals with accents, typographic signs) as its\n"
    "                        nearest ASCII, by ICU, rather than drop it\n"
    "      --no-partial      leave GUIDE as it was when the listing cannot be read\n"
    "                        to its end\n"
    "  -f, --force           write GUIDE even over a file that is no guide, or\n"
    "                        without programmes over a guide that holds some\n"
    "      --stats           at the end, print one line on standard error: what was\n"
    "                        read, written, left out and dropped, and how long it\n"
    "                        took\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the version and exit\n"
    "\n"
    "TIME is an XMLTV time, YYYYMMDDhhmm[ss] [+hhmm|-hhmm] (UTC without an\n"
    "offset), or now, now+N or now-N with a unit d, h or m (now+7d, now-6h).\n"
    "SOURCE_DATE_EPOCH, when set, is now and the guide's time stamp.\n"
    "\n"
    "Exit status: 0 when every LISTING was read to its end and GUIDE, if given,\n"
    "was written; 1 otherwise, as on a mistake in the options, a LISTING that\n"
    "cannot be opened or read to its end, a GUIDE refused (left as it was), or\n"
    "one that cannot be created or written. Each failure is told on standard\n"
    "error, with its cause.\n";

// Options without a short form.
enum : int { no_partial_option = 256, stats_option, from_option, until_option, days_option };

constexpr option long_options[] = {
    {"quiet", no_argument, nullptr, 'q'},
    {"time-zone", required_argument, nullptr, 'z'},
    {"channels", required_argument, nullptr, 'c'},
    {"from", required_argument, nullptr, from_option},
    {"until", required_argument, nullptr, until_option},
    {"days", required_argument, nullptr, days_option},
    {"output", required_argument, nullptr, 'o'},
    {"transliterate", no_argument, nullptr, 't'},
    {"no-partial", no_argument, nullptr, no_partial_option},
    {"force", no_argument, nullptr, 'f'},
    {"stats", no_argument, nullptr, stats_option},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

const char* what_option_needs(int option) {
    switch (option) {
    case 'z': return "a time zone";
    case 'c': return "a file";
    case 'o': return "a guide file";
    case days_option: return "a number of days";
    default: return "a time";
    }
}

constexpr const char* program = "guidepack";

// `word` is the word that held the option; `short_option` the option getopt
// stopped on (0 for an unknown long one).
int complain_about(bool missing_argument, int short_option, const char* word) {
    if (missing_argument)
        report_missing_argument(program, word, what_option_needs(short_option));
    else
        report_usage_mistake(program, "unknown option '" + option_as_written(long_options, short_option, word) + "'");
    return 1;
}

// --days=N: now to N days later. False, after saying so, for anything but a
// count of 1 to 99999 days.
bool set_days(run_options& options, const std::string& count) {
    const std::optional<std::uint64_t> days = read_decimal(count, 99'999);
    if (count.size() > 5 || !days || *days == 0) {
        report_usage_mistake(program, "--days needs a number of days from 1 to 99999, not '" + count + "'");
        return false;
    }
    options.from = "now";
    options.until = "now+" + count + "d";
    return true;
}

// With -o every operand is a listing, standard input at most once.
bool take_listings(run_options& options, int argc, char** argv) {
    bool standard_input = false;
    for (int i = optind; i < argc; ++i) {
        const bool dash = std::strcmp(argv[i], "-") == 0;
        if (dash && standard_input) {
            std::fputs("guidepack: standard input (-) can be read only once\n", stderr);
            return false;
        }
        standard_input = standard_input || dash;
        options.listings.push_back(argv[i]);
    }
    if (!options.listings.empty()) return true;
    std::fputs(usage_line, stderr);
    std::fputs(output_usage_line, stderr);
    return false;
}

// Operands after GUIDE are ignored, as they always were, but not silently:
// a listing among them was most likely meant to be read.
void warn_ignored(int argc, char** argv, int first) {
    std::string names;
    for (int i = first; i < argc; ++i) names += std::string(names.empty() ? "'" : " '") + argv[i] + "'";
    std::fprintf(stderr, "guidepack: %s ignored: several listings go with -o GUIDE LISTING...\n", names.c_str());
}

} // namespace

command parse_command_line(int argc, char** argv) {
    run_options options;
    const char* output = nullptr;
    quiet_getopt();
    int option;
    while ((option = getopt_long(argc, argv, ":qz:c:o:tfhV", long_options, nullptr)) != -1) {
        switch (option) {
        case 'q': options.quiet = true; break;
        case 'z': options.time_zone = optarg; break;
        case 'c': options.channels = optarg; break;
        case 'o': output = optarg; break;
        case 't': options.transliterate = true; break;
        case from_option: options.from = optarg; break;
        case until_option: options.until = optarg; break;
        case days_option:
            if (!set_days(options, optarg)) return 1;
            break;
        case no_partial_option: options.no_partial = true; break;
        case 'f': options.force = true; break;
        case stats_option: options.stats = true; break;
        case 'h':
            std::fputs(usage_line, stdout);
            std::fputs(output_usage_line, stdout);
            std::fputs(help_text, stdout);
            return 0;
        case 'V': std::printf("%s %s\n", program, guidepack_version); return 0;
        case ':': return complain_about(true, optopt, argv[optind - 1]);
        default: return complain_about(false, optopt, argv[optind - 1]);
        }
    }
    if (output != nullptr) {
        options.guide = output;
        options.guide_from_option = true;
        if (!take_listings(options, argc, argv)) return 1;
        return options;
    }
    if (optind >= argc) {
        // A bare "guidepack" prints nothing: callers may rely on its silence.
        if (argc > 1) std::fputs(usage_line, stderr);
        return 1;
    }
    options.listings.push_back(argv[optind]);
    if (optind + 1 < argc) options.guide = argv[optind + 1];
    if (optind + 2 < argc) warn_ignored(argc, argv, optind + 2);
    return options;
}
