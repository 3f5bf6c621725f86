#include "cli/command_line.hpp"

#include <cstdio>
#include <getopt.h>

#ifndef GUIDEPACK_VERSION
#error "GUIDEPACK_VERSION comes from the build"
#endif

namespace {

constexpr const char* usage_line = "Usage: guidepack [OPTION]... LISTING [GUIDE]\n";

constexpr const char* help_text =
    "Convert the XMLTV listing LISTING into the PRG1 guide file GUIDE, printing\n"
    "a trace of every value taken on standard output. Without GUIDE the listing\n"
    "is only read and traced. LISTING may be - for standard input; a gzip\n"
    "listing is read as it is. An existing GUIDE is replaced whole or not at all;\n"
    "one that looks like a listing is refused.\n"
    "\n"
    "  -q, --quiet           print no trace (on a terminal, show a progress line\n"
    "                        on standard error instead)\n"
    "  -z, --time-zone=ZONE  write start and stop times as the wall-clock time in\n"
    "                        ZONE: an IANA name such as Europe/Paris, or local\n"
    "                        for this machine's zone (TZ is honoured)\n"
    "      --no-partial      leave GUIDE as it was when the listing cannot be read\n"
    "                        to its end\n"
    "  -f, --force           write GUIDE even over a file that looks like a listing\n"
    "      --stats           at the end, print one line on standard error: what was\n"
    "                        read, written and left out, and how long it took\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the version and exit\n"
    "\n"
    "Exit status: 0 when the listing was read to its end and the guide written,\n"
    "1 otherwise.\n";

// Options without a short form.
enum : int { no_partial_option = 256, stats_option };

constexpr option long_options[] = {
    {"quiet", no_argument, nullptr, 'q'},
    {"time-zone", required_argument, nullptr, 'z'},
    {"no-partial", no_argument, nullptr, no_partial_option},
    {"force", no_argument, nullptr, 'f'},
    {"stats", no_argument, nullptr, stats_option},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// `argument` is the word that held the option; `short_option` is its letter
// when it was one of a group of short ones.
int complain_about(bool missing_zone, int short_option, const char* argument) {
    const bool long_option = argument[0] == '-' && argument[1] == '-';
    if (missing_zone)
        std::fprintf(stderr, "guidepack: option '%s' needs a time zone\n", argument);
    else if (long_option || short_option == 0)
        std::fprintf(stderr, "guidepack: unknown option '%s'\n", argument);
    else
        std::fprintf(stderr, "guidepack: unknown option '-%c'\n", short_option);
    std::fputs("Try 'guidepack --help' for more information.\n", stderr);
    return 1;
}

} // namespace

command parse_command_line(int argc, char** argv) {
    run_options options;
    opterr = 0; // our own messages, the same in every locale
    int option;
    while ((option = getopt_long(argc, argv, ":qz:fhV", long_options, nullptr)) != -1) {
        switch (option) {
        case 'q': options.quiet = true; break;
        case 'z': options.time_zone = optarg; break;
        case no_partial_option: options.no_partial = true; break;
        case 'f': options.force = true; break;
        case stats_option: options.stats = true; break;
        case 'h': std::fputs(usage_line, stdout); std::fputs(help_text, stdout); return 0;
        case 'V': std::puts("guidepack " GUIDEPACK_VERSION); return 0;
        case ':': return complain_about(true, optopt, argv[optind - 1]);
        default: return complain_about(false, optopt, argv[optind - 1]);
        }
    }
    if (optind >= argc) {
        // A bare "guidepack" prints nothing: callers may rely on its silence.
        if (argc > 1) std::fputs(usage_line, stderr);
        return 1;
    }
    options.listing = argv[optind];
    if (optind + 1 < argc) options.guide = argv[optind + 1];
    return options;
}
