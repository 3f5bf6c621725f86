// guidepack's command line: options in the GNU style, then LISTING [GUIDE],
// or with -o GUIDE, LISTING...
#pragma once

#include "run/run_options.hpp"

#include <variant>

// What the command line asks for: a run, or an exit with this status once
// the help, the version or a complaint has been printed.
using command = std::variant<run_options, int>;

command parse_command_line(int argc, char** argv);
