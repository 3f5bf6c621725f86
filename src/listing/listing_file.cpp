#include "listing/listing_file.hpp"

#include "common/unique_fd.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view gzip_magic = "\x1F\x8B";
constexpr std::string_view xz_magic{"\xFD" "7zXZ\0", 6};

} // namespace

file_look look_at_file(const char* path) {
    file_look look;
    // Only a regular file is opened: opening a device may do something.
    struct stat status {};
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return look;
    const unique_fd file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return look;
    look.regular = true;
    look.size = static_cast<std::uint64_t>(status.st_size);
    char head[xz_magic.size()];
    const ssize_t size = ::read(file.get(), head, sizeof head);
    if (size <= 0) return look;
    const std::string_view start(head, static_cast<std::size_t>(size));
    look.gzip = start.starts_with(gzip_magic);
    look.compressed = look.gzip || start.starts_with(xz_magic);
    return look;
}

std::string unopened_cause(const char* path, int error) {
    struct stat status {};
    if (::stat(path, &status) != 0) error = errno;
    else if (S_ISDIR(status.st_mode)) error = EISDIR;
    else if (const unique_fd file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)); !file) error = errno;
    if (error == 0) return std::string(path) + ": libxml2 could not open it";
    return std::string(path) + ": " + std::strerror(error);
}
