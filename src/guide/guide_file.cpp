#include "guide/guide_file.hpp"

#include "guide/signal_cleanup.hpp"
#include "guide/temporary_files.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Mode, owner and group the new guide takes: the old guide's, or those of
// any new file.
struct guide_owner {
    mode_t mode;
    std::optional<std::pair<uid_t, gid_t>> ids;
};

guide_owner owner_for(const struct stat* old) {
    if (old != nullptr) return {static_cast<mode_t>(old->st_mode & 07777), std::pair{old->st_uid, old->st_gid}};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return {static_cast<mode_t>(0666 & ~mask), std::nullopt};
}

void apply_owner(int fd, const guide_owner& owner) {
    // Only root may give a file away; a member of its group may keep that.
    // Failing both, the guide belongs to whoever runs guidepack.
    if (owner.ids && ::fchown(fd, owner.ids->first, owner.ids->second) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), owner.ids->second) != 0) {
    }
    ::fchmod(fd, owner.mode);
}

// A temporary file beside `target`, or -1 when its folder takes none.
int create_temporary(const std::string& target, std::string& name) {
    std::string pattern = replacement_pattern(target);
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) name = std::move(pattern);
    return fd;
}

int open_in_place(const std::string& path) {
    // 0666 as for any new file: the umask decides the rest.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

bool is_regular(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Whether we may write the existing guide: a guide we could not have
// overwritten in place is not replaced either (read-only, on a read-only
// file system, immutable).
bool may_write(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

int open_guide(const std::string& path, std::string& target, std::string& temporary) {
    target = follow_links(path);
    if (target.empty()) return open_in_place(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return open_in_place(path);
    if (exists && !may_write(target)) return -1;
    const int fd = create_temporary(target, temporary);
    if (fd < 0) return open_in_place(path);
    apply_owner(fd, owner_for(exists ? &old : nullptr));
    return fd;
}

// Once renamed, the new name must reach the disk too.
void sync_folder(const std::string& path) {
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

guide_file::guide_file(const std::string& path) {
    // No signal may come between the temporary file's creation and the
    // handler that removes it.
    const cleanup_signals_blocked blocked;
    out_ = output_file(open_guide(path, target_, temporary_));
    if (!temporary_.empty()) cleanup_.emplace(temporary_);
    else if (is_open()) in_place_regular_ = is_regular(out_.fd());
}

guide_file::~guide_file() {
    if (is_open()) abandon();
}

bool guide_file::commit() {
    if (!is_open()) return false;
    return temporary_.empty() ? commit_in_place() : commit_replacement();
}

bool guide_file::commit_replacement() {
    const bool written = out_.flush() && ::fsync(out_.fd()) == 0;
    const bool renamed = out_.close() && written && ::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!renamed) ::unlink(temporary_.c_str());
    cleanup_.reset();
    if (renamed) sync_folder(target_);
    return renamed;
}

bool guide_file::commit_in_place() {
    if (out_.close()) return true;
    if (in_place_regular_) ::unlink(target_.c_str());
    return false;
}

void guide_file::abandon() {
    out_.close();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    cleanup_.reset();
}
