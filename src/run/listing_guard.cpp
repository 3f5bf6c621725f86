#include "run/listing_guard.hpp"

#include "listing/listing_file.hpp"

#include <cstdio>

bool refuse_listing_as_guide(const char* guide) {
    if (!look_at_file(guide).is_listing()) return false;
    std::fprintf(stderr,
                 "guidepack: %s looks like a listing, not a guide: not written over; "
                 "to read several listings, give the guide with -o GUIDE; "
                 "to replace it anyway, use --force\n",
                 guide);
    return true;
}
