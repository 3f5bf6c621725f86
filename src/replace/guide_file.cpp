#include "replace/guide_file.hpp"

#include "replace/in_place_copy.hpp"
#include "replace/signal_cleanup.hpp"
#include "replace/temporary_files.hpp"
#include "common/unique_fd.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
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

// Whether we may write the existing guide: a guide we could not have
// overwritten in place is not replaced either (read-only, on a read-only
// file system, immutable). errno says why not.
bool may_write(const std::string& path) {
    return static_cast<bool>(unique_fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)));
}

// Failures to make the temporary file that are the guide path's own: its
// folder is missing, or we may not write there. They are told with the
// guide's name, as creating it would have failed; others with the folder's.
bool about_the_path(int error) { return error == ENOENT || error == ENOTDIR || folder_refuses_new_files(error); }

// Once renamed, the new name must reach the disk too.
void sync_folder(const std::string& path) {
    const unique_fd folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
}

} // namespace

guide_file::guide_file(const std::string& path) : path_(path) {
    // No signal may come between the temporary file's creation and the
    // handler that removes it.
    const cleanup_signals_blocked blocked;
    out_ = output_file(open_guide(path));
    if (way_ == way::replacement) {
        cleanup_.emplace(temporary_);
        // The disk takes the guide while it is written, not all at the sync.
        out_.start_writeback_every(std::uint64_t{8} << 20);
    }
}

bool guide_file::open() {
    if (!in_place_pending_) return is_open();
    in_place_pending_ = false;
    const int fd = open_in_place(path_);
    if (fd < 0) failure_ = path_failure(path_, errno);
    out_ = output_file(fd);
    return is_open();
}

guide_file::~guide_file() {
    if (is_open()) abandon();
}

int guide_file::open_guide(const std::string& path) {
    const guide_location where = locate_guide(path);
    target_ = where.target;
    switch (where.what) {
    case guide_location::kind::special:
        if (S_ISDIR(where.status.st_mode)) {
            failure_ = path_failure(path, EISDIR);
            return -1;
        }
        [[fallthrough]];
    case guide_location::kind::descriptor:
        in_place_pending_ = true;
        return -1;
    case guide_location::kind::unresolved:
        failure_ = path_failure(path, where.error);
        return -1;
    case guide_location::kind::regular:
        if (!may_write(target_)) {
            failure_ = path_failure(target_, errno);
            return -1;
        }
        break;
    case guide_location::kind::absent:
        break;
    }
    const bool exists = where.what == guide_location::kind::regular;
    const int fd = create_temporary(target_, temporary_);
    if (fd < 0) {
        const int refusal = errno;
        if (exists && folder_refuses_new_files(refusal)) return open_staged();
        failure_ = about_the_path(refusal) ? path_failure(target_, refusal)
                                           : temporary_file_failure(folder_of(target_), refusal);
        return -1;
    }
    way_ = way::replacement;
    apply_owner(fd, owner_for(exists ? &where.status : nullptr));
    return fd;
}

int guide_file::open_staged() {
    const int fd = create_unnamed_file(spill_folders_for(target_), temporary_);
    if (fd < 0) {
        failure_ = temporary_file_failure(temporary_, errno);
        return -1;
    }
    way_ = way::staged;
    return fd;
}

bool guide_file::commit() {
    if (!is_open()) return false;
    if (way_ == way::replacement) return commit_replacement();
    if (way_ == way::staged) return commit_staged();
    if (out_.close()) return true;
    failure_ = path_failure(path_, out_.error());
    return false;
}

bool guide_file::commit_replacement() {
    // The first failure is the one told.
    int error = out_.flush() ? 0 : out_.error();
    if (error == 0 && ::fsync(out_.fd()) != 0) error = errno;
    if (!out_.close() && error == 0) error = out_.error();
    bool renamed = false;
    if (error != 0) failure_ = temporary_file_failure(folder_of(target_), error);
    else if (::rename(temporary_.c_str(), target_.c_str()) != 0) failure_ = path_failure(target_, errno);
    else renamed = true;
    if (!renamed) ::unlink(temporary_.c_str());
    cleanup_.reset();
    if (renamed) sync_folder(target_);
    return renamed;
}

bool guide_file::commit_staged() {
    bool copied = false;
    if (!out_.flush()) failure_ = temporary_file_failure(temporary_, out_.error());
    else copied = copy_over(out_.fd(), temporary_, target_, spill_folders_for(target_), failure_);
    out_.close();
    return copied;
}

void guide_file::abandon() {
    out_.close();
    if (way_ == way::replacement) ::unlink(temporary_.c_str());
    cleanup_.reset();
}
