#include "guide/existing_guide.hpp"

#include "common/unique_fd.hpp"
#include "format/guide_format.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a path leads to, opened for reading when it is a non-empty regular
// file.
struct regular_file {
    bool found = false;
    unique_fd file;
    int error = 0; // why it could not be opened
};

regular_file open_regular(const char* path) {
    struct stat status {};
    regular_file found;
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0) return found;
    found.found = true;
    found.file = unique_fd(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!found.file) found.error = errno;
    // Swapped for something else since the stat: not looked into.
    else if (::fstat(found.file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return regular_file();
    return found;
}

// A file read front to back through a block.
class forward_reader {
public:
    explicit forward_reader(int fd) : fd_(fd), block_(std::make_unique_for_overwrite<unsigned char[]>(block_size)) {}

    // Takes the next `size` bytes, copied to `out` unless it is null; false
    // when the file ends first or a read fails.
    bool next(std::size_t size, unsigned char* out = nullptr) {
        while (size > 0) {
            if (at_ == end_ && !refill()) return false;
            const std::size_t piece = std::min(size, end_ - at_);
            if (out != nullptr) out = std::copy_n(block_.get() + at_, piece, out);
            at_ += piece;
            size -= piece;
        }
        return true;
    }

    // Why a read failed; 0 when the file just ended.
    int error() const { return error_; }

private:
    static constexpr std::size_t block_size = std::size_t{1} << 16;

    bool refill() {
        ssize_t got;
        do got = ::read(fd_, block_.get(), block_size);
        while (got < 0 && errno == EINTR);
        if (got < 0) error_ = errno;
        if (got <= 0) return false;
        at_ = 0;
        end_ = static_cast<std::size_t>(got);
        return true;
    }

    int fd_;
    std::unique_ptr<unsigned char[]> block_;
    std::size_t at_ = 0, end_ = 0;
    int error_ = 0;
};

bool starts_with_magic(forward_reader& in) {
    unsigned char magic[guide_format::magic.size()];
    return in.next(sizeof magic, magic) && std::equal(guide_format::magic.begin(), guide_format::magic.end(), magic);
}

bool skip_strings(forward_reader& in, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char length[guide_format::string_length_size];
        if (!in.next(sizeof length, length) || !in.next(guide_format::decode_u16(length))) return false;
    }
    return true;
}

// A count of the file, or -1 when it is cut short or negative: the records
// can no longer be told apart.
std::int32_t next_count(forward_reader& in) {
    unsigned char count[guide_format::count_size];
    return in.next(sizeof count, count) ? std::max(guide_format::decode_i32(count), -1) : -1;
}

} // namespace

existing_guide look_at_guide(const char* path) {
    const regular_file found = open_regular(path);
    if (!found.found) return {};
    if (!found.file) return {existing_guide::kind::unreadable, found.error};
    forward_reader in(found.file.get());
    if (starts_with_magic(in)) return {existing_guide::kind::guide, 0};
    if (in.error() != 0) return {existing_guide::kind::unreadable, in.error()};
    return {existing_guide::kind::other, 0};
}

std::int64_t programmes_in_guide(const char* path) {
    const regular_file found = open_regular(path);
    if (!found.file) return 0;
    forward_reader in(found.file.get());
    if (!starts_with_magic(in) || !in.next(guide_format::header_size - guide_format::magic.size())) return 0;
    std::int64_t programmes = 0;
    for (std::int32_t channels = next_count(in); channels > 0; --channels) {
        if (!skip_strings(in, guide_format::channel_string_count)) break;
        std::int32_t count = next_count(in);
        if (count < 0) break;
        for (; count > 0; --count, ++programmes)
            if (!skip_strings(in, guide_format::programme_string_count)) return programmes;
    }
    return programmes;
}
