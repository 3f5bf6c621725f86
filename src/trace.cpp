#include "trace.hpp"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>

void buffer_trace() {
    // Static: stdio uses it until the very end, after main returns.
    static char buffer[std::size_t{1} << 16];
    if (::isatty(STDOUT_FILENO)) return;
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

void trace_text(std::string_view text) {
    fwrite_unlocked(text.data(), 1, text.size(), stdout);
}

void trace_number(std::int64_t number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    trace_text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void trace_value(std::string_view prefix, std::string_view value) {
    // Most lines are short: put together here, they cost one stdio call
    // instead of three.
    char line[512];
    if (prefix.size() + value.size() < sizeof line) {
        std::memcpy(line, prefix.data(), prefix.size());
        std::memcpy(line + prefix.size(), value.data(), value.size());
        line[prefix.size() + value.size()] = '\n';
        trace_text(std::string_view(line, prefix.size() + value.size() + 1));
        return;
    }
    trace_text(prefix);
    trace_text(value);
    putc_unlocked('\n', stdout);
}
