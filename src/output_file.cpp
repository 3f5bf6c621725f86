#include "output_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t buffer_size = 1 << 20;
}

output_file::output_file(const std::string& path) : path_(path) {
    // 0666 as for any new file: the umask decides the rest.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    struct stat status {};
    regular_ = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    buffer_ = std::make_unique<char[]>(buffer_size);
}

output_file::~output_file() {
    if (is_open()) close();
}

void output_file::write(const void* bytes, std::size_t size) {
    if (failed_ || !is_open()) return;
    if (used_ + size > buffer_size) flush();
    if (size >= buffer_size) {
        // Too big to buffer: goes straight out (the buffer is empty now).
        const char* rest = static_cast<const char*>(bytes);
        while (size > 0 && !failed_) {
            const ssize_t written = ::write(fd_, rest, size);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) { failed_ = true; break; }
            rest += written;
            size -= static_cast<std::size_t>(written);
        }
        return;
    }
    std::memcpy(buffer_.get() + used_, bytes, size);
    used_ += size;
}

void output_file::flush() {
    std::size_t done = 0;
    while (done < used_ && !failed_) {
        const ssize_t written = ::write(fd_, buffer_.get() + done, used_ - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) failed_ = true;
        else done += static_cast<std::size_t>(written);
    }
    used_ = 0;
}

bool output_file::close() {
    if (!is_open()) return false;
    flush();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    buffer_.reset();
    if (failed_ && regular_) ::unlink(path_.c_str());
    return !failed_;
}
