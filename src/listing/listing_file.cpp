#include "listing/listing_file.hpp"

#include "common/text.hpp"
#include "common/unique_fd.hpp"

#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view gzip_magic = "\x1F\x8B";
constexpr std::string_view xz_magic{"\xFD" "7zXZ\0", 6};

bool is_xml_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Looks past white space, a block at a time, for the first byte that is not.
bool first_other_byte_is_tag(int fd, std::string_view start) {
    char block[4096];
    for (std::string_view rest = start;;) {
        for (char c : rest)
            if (!is_xml_space(c)) return c == '<';
        const ssize_t size = ::read(fd, block, sizeof block);
        if (size <= 0) return false;
        rest = std::string_view(block, static_cast<std::size_t>(size));
    }
}

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
    char head[4096];
    const ssize_t size = ::read(file.get(), head, sizeof head);
    if (size <= 0) return look;
    std::string_view start(head, static_cast<std::size_t>(size));
    look.gzip = start.starts_with(gzip_magic);
    look.compressed = look.gzip || start.starts_with(xz_magic);
    start = without_byte_order_mark(start);
    look.starts_like_xml = !look.compressed && first_other_byte_is_tag(file.get(), start);
    return look;
}
