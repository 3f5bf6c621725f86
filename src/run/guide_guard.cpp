#include "run/guide_guard.hpp"

#include "guide/existing_guide.hpp"

#include <cstdio>
#include <cstring>

bool refuse_other_file_as_guide(const char* guide, bool from_option) {
    const existing_guide found = look_at_guide(guide);
    if (found.what == existing_guide::kind::unreadable) {
        std::fprintf(stderr,
                     "guidepack: %s: %s: whether it is a guide cannot be told: not written over; "
                     "to replace it anyway, use --force\n",
                     guide, std::strerror(found.error));
        return true;
    }
    if (found.what != existing_guide::kind::other) return false;
    std::fprintf(stderr, "guidepack: %s is not a guide (it does not start with PRG1): not written over; %s"
                         "to replace it anyway, use --force\n",
                 guide, from_option ? "" : "to read several listings, give the guide with -o GUIDE; ");
    return true;
}

bool keep_fuller_guide(const char* guide, std::int64_t programmes) {
    if (programmes > 0) return false;
    const std::int64_t old_programmes = programmes_in_guide(guide);
    if (old_programmes == 0) return false;
    std::fprintf(stderr,
                 "guidepack: %s left as it was: it holds %lld programme%s, the new guide would hold %lld; "
                 "to replace it anyway, use --force\n",
                 guide, static_cast<long long>(old_programmes), old_programmes == 1 ? "" : "s",
                 static_cast<long long>(programmes));
    return true;
}
