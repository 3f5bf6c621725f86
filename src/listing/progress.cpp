#include "listing/progress.hpp"

#include "listing/listing_file.hpp"

#include <cstdio>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Often enough to look alive, seldom enough to be read.
constexpr std::chrono::milliseconds redraw_interval{250};
constexpr const char* erase_line = "\r\033[K";

// Columns of the terminal on standard error; 80 when it does not say.
std::size_t terminal_width() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

// Only a plain file's size is comparable with what libxml2 reads: it counts
// a compressed listing's bytes unpacked, and standard input has no size.
std::uint64_t comparable_size(const char* path) {
    if (std::string_view(path) == "-") return 0;
    const file_look look = look_at_file(path);
    return look.regular && !look.compressed ? look.size : 0;
}

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

} // namespace

reading_progress::reading_progress(const char* path)
    : path_(path), size_(comparable_size(path)), width_(terminal_width()), started_(clock::now()) {
    draw(0, 0, started_);
}

void reading_progress::look(xmlTextReaderPtr reader, std::uint64_t programmes) {
    if (!showing_) return;
    const clock::time_point now = clock::now();
    if (now - drawn_ < redraw_interval) return;
    const long consumed = xmlTextReaderByteConsumed(reader);
    draw(consumed > 0 ? static_cast<std::uint64_t>(consumed) : 0, programmes, now);
}

void reading_progress::draw(std::uint64_t bytes, std::uint64_t programmes, clock::time_point now) {
    drawn_ = now;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    const double rate = seconds > 0 ? megabytes(bytes) / seconds : 0;
    char amount[64];
    if (size_ > 0)
        std::snprintf(amount, sizeof amount, "%.1f of %.1f MB (%d%%)", megabytes(bytes), megabytes(size_),
                      static_cast<int>(bytes >= size_ ? 100 : bytes * 100 / size_));
    else
        std::snprintf(amount, sizeof amount, "%.1f MB", megabytes(bytes));
    char counts[96];
    std::snprintf(counts, sizeof counts, ", %llu programme%s, %.1f MB/s", static_cast<unsigned long long>(programmes),
                  programmes == 1 ? "" : "s", rate);
    std::string line = "reading " + path_ + ": " + amount + counts;
    // One column short of the width: a line that filled it would wrap, and
    // the carriage return would no longer reach its start.
    if (line.size() >= width_) line.resize(width_ - 1);
    line = "\r" + line + "\033[K";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void reading_progress::stop() noexcept {
    if (!showing_) return;
    showing_ = false;
    std::fputs(erase_line, stderr);
}
