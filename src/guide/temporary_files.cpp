#include "guide/temporary_files.hpp"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string base_name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool names_a_descriptor(const std::string& path) {
    return path.starts_with("/proc/") || path.starts_with("/dev/fd/");
}

} // namespace

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string follow_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        if (names_a_descriptor(path)) return {};
        char target[PATH_MAX];
        const ssize_t size = ::readlink(path.c_str(), target, sizeof target - 1);
        if (size < 0) return path; // not a link, or nothing there yet
        const std::string link(target, static_cast<std::size_t>(size));
        path = link.starts_with('/') ? link : folder_of(path) + "/" + link;
    }
    // A loop: the stat that follows fails with ELOOP.
    return path;
}

std::string replacement_pattern(const std::string& target) {
    return folder_of(target) + "/." + base_name_of(target) + ".XXXXXX";
}

std::vector<std::string> spill_folders_for(const std::string& guide) {
    std::vector<std::string> folders;
    const std::string target = follow_links(guide);
    struct stat status {};
    if (!target.empty() && (::stat(target.c_str(), &status) != 0 || S_ISREG(status.st_mode)))
        folders.push_back(folder_of(target));
    const std::string system = system_temporary_folder();
    if (folders.empty() || folders.front() != system) folders.push_back(system);
    return folders;
}

std::string system_temporary_folder() {
    const char* tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}
