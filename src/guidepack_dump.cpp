// guidepack-dump [OPTION]... GUIDE: checks a guide file's structure and prints
// what it holds, for a person, as JSON or as an HTML page.
#include "dump/dump_html.hpp"
#include "dump/dump_json.hpp"
#include "dump/dump_listing.hpp"
#include "dump/guide_parser.hpp"
#include "dump/wall_clock.hpp"
#include "common/command_options.hpp"
#include "common/version.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace {

constexpr const char* program_name = "guidepack-dump";
constexpr const char* usage_line = "Usage: guidepack-dump [OPTION]... GUIDE\n";

constexpr const char* help_text =
    "Check the structure of the PRG1 guide file GUIDE and print what it holds,\n"
    "as text for a person, as JSON or as an HTML page. GUIDE may be - for\n"
    "standard input; after --, a GUIDE beginning with - is a file name.\n"
    "\n"
    "      --json         print the guide as one JSON document\n"
    "      --html         print the guide as one HTML page: channels down the\n"
    "                     side, hours across, each programme a block\n"
    "      --from=TIME    with --html, leave out the programmes that end at or\n"
    "                     before TIME\n"
    "      --until=TIME   with --html, leave out the programmes that start at or\n"
    "                     after TIME\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "\n"
    "TIME is YYYYMMDDhhmm on the guide's own clock. A page holds at most 20000\n"
    "programmes over 31 days; past that it shows the first day and names the\n"
    "others.\n"
    "\n"
    "Exit status: 0 when the guide is whole and was printed, 1 when it could not\n"
    "be read or printed or its structure is damaged, 2 when the command line is\n"
    "wrong.\n";

// 1 stays for a damaged guide, so that a script checking guides can tell it
// from a mistake in its own command line.
enum exit_status { success = 0, failure = 1, usage_error = 2 };

enum option_code { json_option = 256, html_option, from_option, until_option };

constexpr option long_options[] = {
    {"json", no_argument, nullptr, json_option},
    {"html", no_argument, nullptr, html_option},
    {"from", required_argument, nullptr, from_option},
    {"until", required_argument, nullptr, until_option},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

enum class output_form { text, json, html };

struct options {
    output_form form = output_form::text;
    page_window window;
    const char* path = nullptr;
};

int usage_mistake(const std::string& message) {
    report_usage_mistake(program_name, message);
    return usage_error;
}

// --from or --until: false, after saying why, for anything but YYYYMMDDhhmm.
bool read_bound(const char* name, const char* text, std::optional<wall_minutes>& bound) {
    bound = read_wall_clock(text);
    if (bound) return true;
    report_usage_mistake(program_name, std::string("--") + name + ": '" + text + "' is not a time (YYYYMMDDhhmm)");
    return false;
}

bool set_form(options& result, output_form form) {
    if (result.form == output_form::text || result.form == form) {
        result.form = form;
        return true;
    }
    report_usage_mistake(program_name, "--json and --html cannot be used together");
    return false;
}

// The window's options make sense only with --html, and in that order.
bool check_window(const options& result) {
    const page_window& window = result.window;
    if ((window.from || window.until) && result.form != output_form::html) {
        report_usage_mistake(program_name, "--from and --until need --html");
        return false;
    }
    if (window.from && window.until && *window.until <= *window.from) {
        report_usage_mistake(program_name, "--until must be later than --from");
        return false;
    }
    return true;
}

// The options, or the exit status when there is nothing to dump.
std::variant<options, int> parse_arguments(int argc, char** argv) {
    options result;
    quiet_getopt();
    int option;
    while ((option = getopt_long(argc, argv, ":hV", long_options, nullptr)) != -1) {
        switch (option) {
        case json_option:
            if (!set_form(result, output_form::json)) return usage_error;
            break;
        case html_option:
            if (!set_form(result, output_form::html)) return usage_error;
            break;
        case from_option:
            if (!read_bound("from", optarg, result.window.from)) return usage_error;
            break;
        case until_option:
            if (!read_bound("until", optarg, result.window.until)) return usage_error;
            break;
        case 'h': std::fputs(usage_line, stdout); std::fputs(help_text, stdout); return success;
        case 'V': std::printf("%s %s\n", program_name, guidepack_version); return success;
        case ':': report_missing_argument(program_name, argv[optind - 1], "a time"); return usage_error;
        default:
            return usage_mistake("unknown option '" + option_as_written(long_options, optopt, argv[optind - 1]) +
                                 "'");
        }
    }
    if (optind == argc) return usage_mistake("no guide file given");
    if (optind + 1 < argc) return usage_mistake("one guide file at a time");
    if (!check_window(result)) return usage_error;
    result.path = argv[optind];
    return result;
}

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void report(const char* name, const std::string& message) {
    std::fprintf(stderr, "%s: %s: %s\n", program_name, name, message.c_str());
}

// The whole file, or nothing after saying why.
std::optional<std::string> read_all(const char* path, const char* name) {
    std::unique_ptr<std::FILE, file_closer> owned;
    std::FILE* in = stdin;
    if (std::strcmp(path, "-") != 0) {
        owned.reset(std::fopen(path, "rb"));
        if (!owned) {
            report(name, std::strerror(errno));
            return std::nullopt;
        }
        in = owned.get();
    }
    std::string bytes;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.append(chunk, got);
    if (std::ferror(in)) {
        report(name, std::string("read error: ") + std::strerror(errno));
        return std::nullopt;
    }
    return bytes;
}

int dump(const options& opts) {
    const char* name = std::strcmp(opts.path, "-") == 0 ? "standard input" : opts.path;
    const std::optional<std::string> bytes = read_all(opts.path, name);
    if (!bytes) return failure;
    guide content;
    try {
        content = parse_guide(*bytes);
    } catch (const guide_error& error) {
        report(name, error.what());
        return failure;
    }
    switch (opts.form) {
    case output_form::text: print_guide_listing(content, stdout); break;
    case output_form::json: print_guide_json(content, stdout); break;
    case output_form::html: print_guide_html(content, opts.window, stdout); break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        report("standard output", std::strerror(errno));
        return failure;
    }
    return success;
}

} // namespace

int main(int argc, char** argv) {
    const std::variant<options, int> parsed = parse_arguments(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    return dump(std::get<options>(parsed));
}
