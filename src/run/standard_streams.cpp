#include "run/standard_streams.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void fill_closed_standard_streams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor: this one.
        if (::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd) continue;
    }
}

namespace {

bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool is_standard_output(const char* guide) {
    struct stat guide_status {}, output_status {}, null_status {};
    if (::stat(guide, &guide_status) != 0 || ::fstat(STDOUT_FILENO, &output_status) != 0) return false;
    if (!same_file(guide_status, output_status)) return false;
    return ::stat("/dev/null", &null_status) != 0 || !same_file(guide_status, null_status);
}
