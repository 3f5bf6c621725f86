#include "replace/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <utility>

namespace {
// A small guide needs a small buffer; a big one gets the full size.
constexpr std::size_t first_buffer_size = std::size_t{64} << 10;
constexpr std::size_t buffer_size = std::size_t{1} << 20;
} // namespace

output_file::output_file(int fd) : fd_(fd) {
    if (is_open()) {
        buffer_ = std::make_unique_for_overwrite<char[]>(first_buffer_size);
        capacity_ = first_buffer_size;
    }
}

output_file::~output_file() {
    if (is_open()) close();
}

output_file& output_file::operator=(output_file&& other) noexcept {
    if (this == &other) return *this;
    if (is_open()) close();
    fd_ = std::move(other.fd_);
    failed_ = std::exchange(other.failed_, false);
    error_ = std::exchange(other.error_, 0);
    buffer_ = std::move(other.buffer_);
    capacity_ = std::exchange(other.capacity_, 0);
    used_ = std::exchange(other.used_, 0);
    bytes_written_ = std::exchange(other.bytes_written_, 0);
    return *this;
}

void output_file::write(const void* bytes, std::size_t size) {
    if (failed_ || !is_open()) return;
    if (used_ + size > capacity_ && capacity_ < buffer_size) grow();
    if (used_ + size > capacity_) flush();
    if (size >= capacity_) {
        // Too big to buffer: goes straight out (the buffer is empty now).
        write_out(static_cast<const char*>(bytes), size);
        return;
    }
    std::memcpy(buffer_.get() + used_, bytes, size);
    used_ += size;
}

void output_file::write_out(const char* bytes, std::size_t size) {
    while (size > 0 && !failed_) {
        const ssize_t written = ::write(fd_.get(), bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            fail(written < 0 ? errno : EIO);
            break;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
        bytes_written_ += static_cast<std::uint64_t>(written);
    }
}

void output_file::fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
}

void output_file::grow() {
    auto bigger = std::make_unique_for_overwrite<char[]>(buffer_size);
    std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    capacity_ = buffer_size;
}

bool output_file::flush() {
    if (!is_open()) return false;
    write_out(buffer_.get(), used_);
    used_ = 0;
    return !failed_;
}

bool output_file::close() {
    if (!is_open()) return false;
    flush();
    // Closed here rather than by unique_fd, so that its failure is seen.
    if (::close(fd_.release()) != 0) fail(errno);
    buffer_.reset();
    return !failed_;
}
