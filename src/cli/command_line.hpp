// guidepack's command line: options in the GNU style, then LISTING [GUIDE],
// or with -o GUIDE, LISTING...
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

struct run_options {
    std::vector<const char*> listings; // read one after the other
    const char* guide = nullptr;       // none: read and trace only
    bool quiet = false;
    bool no_partial = false; // a listing not read to its end leaves the guide as it was
    bool force = false;      // write the guide even over what looks like a listing
    bool stats = false;
    std::optional<std::string> time_zone;
    const char* channels = nullptr; // the channels file
    // The time window's bounds as given (--days gives both).
    std::optional<std::string> from;
    std::optional<std::string> until;
};

// What the command line asks for: a run, or an exit with this status once
// the help, the version or a complaint has been printed.
using command = std::variant<run_options, int>;

command parse_command_line(int argc, char** argv);
