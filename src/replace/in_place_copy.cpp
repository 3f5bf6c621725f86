#include "replace/in_place_copy.hpp"

#include "replace/signal_cleanup.hpp"
#include "replace/temporary_files.hpp"
#include "common/unique_fd.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::size_t piece_size = std::size_t{1} << 20;

// Which side of a copy failed, and why.
struct copy_result {
    int error = 0;
    bool reading = false;
};

// Copies `from` over `to`, both from their start, then cuts `to` to that
// size and syncs it.
copy_result copy_whole(int from, int to) {
    const auto piece = std::make_unique_for_overwrite<char[]>(piece_size);
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(from, piece.get(), piece_size, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {errno, true};
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(to, piece.get() + done, static_cast<std::size_t>(got - done), at + done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return {put < 0 ? errno : EIO, false};
            done += put;
        }
        at += got;
    }
    if (::ftruncate(to, at) != 0 || ::fsync(to) != 0) return {errno, false};
    return {};
}

} // namespace

bool copy_over(int staged, const std::string& staged_folder, const std::string& guide,
               const std::vector<std::string>& scratch_folders, std::string& failure) {
    const cleanup_signals_blocked blocked;
    const unique_fd target(::open(guide.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!target) {
        failure = path_failure(guide, errno);
        return false;
    }
    std::string folder;
    const unique_fd old(create_unnamed_file(scratch_folders, folder));
    if (!old) {
        failure = temporary_file_failure(folder, errno);
        return false;
    }
    if (const copy_result kept = copy_whole(target.get(), old.get()); kept.error != 0) {
        failure = kept.reading ? path_failure(guide, kept.error) : temporary_file_failure(folder, kept.error);
        return false;
    }
    const copy_result copied = copy_whole(staged, target.get());
    if (copied.error == 0) return true;
    failure = copied.reading ? temporary_file_failure(staged_folder, copied.error) : path_failure(guide, copied.error);
    copy_whole(old.get(), target.get());
    return false;
}
