#include "replace/output_file.hpp"

#include <fcntl.h>

#include <algorithm>
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
    writeback_step_ = std::exchange(other.writeback_step_, 0);
    written_back_ = std::exchange(other.written_back_, 0);
    kernel_copies_ = std::exchange(other.kernel_copies_, true);
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
        handed_over(static_cast<std::uint64_t>(written));
    }
}

void output_file::handed_over(std::uint64_t size) {
    bytes_written_ += size;
    if (writeback_step_ == 0 || bytes_written_ - written_back_ < writeback_step_) return;
    // A hint: if the kernel cannot take it, the final fsync does the work.
    ::sync_file_range(fd_.get(), static_cast<off_t>(written_back_), static_cast<off_t>(bytes_written_ - written_back_),
                      SYNC_FILE_RANGE_WRITE);
    written_back_ = bytes_written_;
}

bool output_file::copy_from(int from, std::uint64_t offset, std::uint64_t size) {
    if (failed_ || !is_open()) return true;
    if (!flush()) return true;
    while (size > 0 && kernel_copies_) {
        auto at = static_cast<off_t>(offset);
        const ssize_t copied = ::copy_file_range(from, &at, fd_.get(), nullptr, static_cast<std::size_t>(size), 0);
        if (copied < 0 && errno == EINTR) continue;
        // Not between these two files (a device, a FIFO, another file
        // system on an older kernel), refused, or cut short: this and every
        // later copy by hand, which also tells a failure to read from one to
        // write.
        if (copied <= 0) {
            kernel_copies_ = false;
            break;
        }
        offset += static_cast<std::uint64_t>(copied);
        size -= static_cast<std::uint64_t>(copied);
        handed_over(static_cast<std::uint64_t>(copied));
    }
    return size == 0 || copy_through_buffer(from, offset, size);
}

bool output_file::copy_through_buffer(int from, std::uint64_t offset, std::uint64_t size) {
    if (capacity_ < buffer_size) grow();
    while (size > 0 && !failed_) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, capacity_ - used_));
        const ssize_t got = ::pread(from, buffer_.get() + used_, wanted, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO; // `from` is shorter than it should be
            return false;
        }
        used_ += static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::uint64_t>(got);
        if (used_ == capacity_) flush();
    }
    return true;
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
