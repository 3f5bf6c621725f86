#include "trace.hpp"

#include <charconv>
#include <cstdio>
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
    trace_text(prefix);
    trace_text(value);
    putc_unlocked('\n', stdout);
}
