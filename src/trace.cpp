#include "trace.hpp"

#include <charconv>
#include <cstdio>

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
