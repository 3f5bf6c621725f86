#include "common/command_options.hpp"

#include <cstdio>
#include <string_view>

void quiet_getopt() { opterr = 0; }

namespace {

// Whether `word` is the long form of `option`.
bool is_long_form_of(const option* long_options, const char* word, int option) {
    if (word[0] != '-' || word[1] != '-') return false;
    const std::string_view name = std::string_view(word + 2).substr(0, std::string_view(word + 2).find('='));
    for (const struct option* known = long_options; known->name != nullptr; ++known)
        if (known->name == name) return known->val == option;
    return false;
}

} // namespace

std::string option_as_written(const option* long_options, int option, const char* word) {
    if (option == 0 || is_long_form_of(long_options, word, option)) return word;
    return std::string("-") + static_cast<char>(option);
}

void report_usage_mistake(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program, message.c_str(), program);
}

void report_missing_argument(const char* program, const char* word, const char* what) {
    report_usage_mistake(program, std::string("option '") + word + "' needs " + what);
}
