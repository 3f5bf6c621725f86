#include "common/trace.hpp"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Platform seam: glibc's unlocked stdio skips a lock that the one thread
// writing the trace at a time does not need; elsewhere, or with GUIDEPACK_PORTABLE, the standard calls do the
// same work.
#if defined(__GLIBC__) && !defined(GUIDEPACK_PORTABLE)
bool stdout_write(std::string_view text) {
    return fwrite_unlocked(text.data(), 1, text.size(), stdout) == text.size();
}
#else
bool stdout_write(std::string_view text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}
#endif

} // namespace

void buffer_trace() {
    // Static: stdio uses it until the very end, after main returns.
    static char buffer[std::size_t{1} << 16];
    if (::isatty(STDOUT_FILENO)) return;
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

namespace {

bool silenced = false;
// The first error met writing standard output; reported once, at the end.
int write_error = 0;

void note_write_error() {
    if (write_error == 0) write_error = errno != 0 ? errno : EIO;
}

} // namespace

void silence_trace() { silenced = true; }

bool finish_trace() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) note_write_error();
    if (write_error == 0) return true;
    std::fprintf(stderr, "guidepack: standard output: %s\n", std::strerror(write_error));
    return false;
}

bool deliver_trace() {
    if (std::fflush(stdout) != 0) note_write_error();
    return write_error != EPIPE;
}

void trace_text(std::string_view text) {
    if (silenced) return;
    if (!stdout_write(text)) note_write_error();
}

void trace_number(std::int64_t number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    trace_text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void trace_value(std::string_view prefix, std::string_view value) {
    if (silenced) return;
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
    trace_text("\n");
}
