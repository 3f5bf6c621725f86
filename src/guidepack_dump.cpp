// guidepack-dump [--json] GUIDE: checks a guide file's structure and prints
// what it holds, for a person or as JSON.
#include "dump/dump_json.hpp"
#include "dump/dump_listing.hpp"
#include "dump/guide_parser.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* program_name = "guidepack-dump";
constexpr const char* usage = "usage: guidepack-dump [--json] GUIDE\n";

enum exit_status { success = 0, failure = 1, usage_error = 2 };

struct options {
    bool json = false;
    const char* path = nullptr;
};

std::optional<options> parse_arguments(int argc, char** argv) {
    options result;
    bool only_paths = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!only_paths && arg == "--json") {
            result.json = true;
        } else if (!only_paths && arg == "--") {
            only_paths = true;
        } else if (!only_paths && arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "%s: unknown option '%s'\n", program_name, argv[i]);
            return std::nullopt;
        } else if (result.path) {
            std::fprintf(stderr, "%s: one guide file at a time\n", program_name);
            return std::nullopt;
        } else {
            result.path = argv[i];
        }
    }
    if (!result.path) return std::nullopt;
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
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(usage, stdout);
        return success;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0)) {
        std::puts("guidepack-dump " GUIDEPACK_VERSION);
        return success;
    }
    const std::optional<options> opts = parse_arguments(argc, argv);
    if (!opts) {
        std::fputs(usage, stderr);
        return usage_error;
    }
    return dump(*opts);
}
