// What a run of guidepack is asked to do, as the command line gives it.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct run_options {
    std::vector<const char*> listings; // read one after the other
    const char* guide = nullptr;       // none: read and trace only
    bool guide_from_option = false;    // given with -o
    bool quiet = false;
    bool no_partial = false; // a listing not read to its end leaves the guide as it was
    bool force = false;      // write the guide over any file, even an empty guide over a full one
    bool stats = false;
    bool transliterate = false; // what the guide cannot hold, as its nearest ASCII
    std::optional<std::string> time_zone;
    const char* channels = nullptr; // the channels file
    // The time window's bounds as given (--days gives both).
    std::optional<std::string> from;
    std::optional<std::string> until;
};
