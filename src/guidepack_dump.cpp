// guidepack-dump [OPTION]... GUIDE: checks a guide file's structure and prints
// what it holds, for a person or as JSON.
#include "dump/dump_json.hpp"
#include "dump/dump_listing.hpp"
#include "dump/guide_parser.hpp"
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
    "as text for a person or as JSON. GUIDE may be - for standard input; after\n"
    "--, a GUIDE beginning with - is a file name.\n"
    "\n"
    "      --json     print the guide as one JSON document\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "\n"
    "Exit status: 0 when the guide is whole and was printed, 1 when it could not\n"
    "be read or printed or its structure is damaged, 2 when the command line is\n"
    "wrong.\n";

// 1 stays for a damaged guide, so that a script checking guides can tell it
// from a mistake in its own command line.
enum exit_status { success = 0, failure = 1, usage_error = 2 };

enum option_code { json_option = 256 };

constexpr option long_options[] = {
    {"json", no_argument, nullptr, json_option},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

struct options {
    bool json = false;
    const char* path = nullptr;
};

int usage_mistake(const std::string& message) {
    report_usage_mistake(program_name, message);
    return usage_error;
}

// The options, or the exit status when there is nothing to dump.
std::variant<options, int> parse_arguments(int argc, char** argv) {
    options result;
    quiet_getopt();
    int option;
    while ((option = getopt_long(argc, argv, "hV", long_options, nullptr)) != -1) {
        switch (option) {
        case json_option: result.json = true; break;
        case 'h': std::fputs(usage_line, stdout); std::fputs(help_text, stdout); return success;
        case 'V': std::printf("%s %s\n", program_name, guidepack_version); return success;
        default:
            return usage_mistake("unknown option '" + option_as_written(long_options, optopt, argv[optind - 1]) +
                                 "'");
        }
    }
    if (optind == argc) return usage_mistake("no guide file given");
    if (optind + 1 < argc) return usage_mistake("one guide file at a time");
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
    if (opts.json)
        print_guide_json(content, stdout);
    else
        print_guide_listing(content, stdout);
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
