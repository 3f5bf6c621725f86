#include "replace/temporary_files.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

// Links followed before a path counts as a loop, as the kernel's own limit.
constexpr int most_links = 40;

std::string base_name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool names_a_descriptor(const std::string& path) {
    return path.starts_with("/proc/") || path.starts_with("/dev/fd/");
}

guide_location unresolved(std::string path, int error) {
    guide_location where;
    where.what = guide_location::kind::unresolved;
    where.target = std::move(path);
    where.error = error;
    return where;
}

// What `path`, no link itself, is.
guide_location classify(std::string path) {
    guide_location where;
    where.target = std::move(path);
    if (::stat(where.target.c_str(), &where.status) == 0) {
        where.what = S_ISREG(where.status.st_mode) ? guide_location::kind::regular : guide_location::kind::special;
        return where;
    }
    // Nothing there is a new guide. Anything else (a loop in a folder's
    // links, a name too long, a folder we may not search) is no reason to
    // put a new file somewhere else.
    if (errno != ENOENT) return unresolved(std::move(where.target), errno);
    return where;
}

} // namespace

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

guide_location locate_guide(const std::string& path_given) {
    std::string path = path_given;
    for (int hops = 0; hops < most_links; ++hops) {
        if (names_a_descriptor(path)) return {guide_location::kind::descriptor, {}, {}, 0};
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target);
        if (size < 0) {
            // EINVAL: not a link; ENOENT: nothing there yet.
            if (errno == EINVAL || errno == ENOENT) return classify(std::move(path));
            return unresolved(std::move(path), errno);
        }
        if (static_cast<std::size_t>(size) == sizeof target) return unresolved(std::move(path), ENAMETOOLONG);
        const std::string link(target, static_cast<std::size_t>(size));
        path = link.starts_with('/') ? link : folder_of(path) + "/" + link;
    }
    return unresolved(std::move(path), ELOOP);
}

std::string replacement_pattern(const std::string& target) {
    constexpr std::string_view prefix = ".", suffix = ".XXXXXX";
    std::string name = base_name_of(target);
    constexpr std::size_t room = NAME_MAX - prefix.size() - suffix.size();
    if (name.size() > room) {
        // Cut between two UTF-8 characters, so that the name stays readable.
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return folder_of(target) + "/" + std::string(prefix) + name + std::string(suffix);
}

bool folder_refuses_new_files(int error) { return error == EACCES || error == EPERM || error == EROFS; }

std::vector<std::string> spill_folders_for(const std::string& guide) {
    std::vector<std::string> folders;
    const guide_location where = locate_guide(guide);
    if (where.what == guide_location::kind::regular || where.what == guide_location::kind::absent)
        folders.push_back(folder_of(where.target));
    const std::string system = system_temporary_folder();
    if (folders.empty() || folders.front() != system) folders.push_back(system);
    return folders;
}

std::string system_temporary_folder() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

namespace {

int open_unnamed(const std::string& folder) {
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    // A file system without unnamed files: a name, removed at once.
    std::string pattern = folder + "/.guidepack-spill.XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(pattern.c_str());
    return named;
}

} // namespace

int create_unnamed_file(const std::vector<std::string>& folders, std::string& folder) {
    for (const std::string& candidate : folders) {
        folder = candidate;
        const int fd = open_unnamed(candidate);
        if (fd >= 0) return fd;
    }
    return -1;
}

std::string path_failure(const std::string& path, int error) { return path + ": " + std::strerror(error); }

std::string temporary_file_failure(const std::string& folder, int error) {
    return "temporary file in " + folder + ": " + std::strerror(error);
}
