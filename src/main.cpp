// guidepack [OPTION]... LISTING [GUIDE]: reads an XMLTV listing, traces what
// it finds, and writes the guide file when a second path is given. With
// -o GUIDE, every operand is a listing, read into the one guide.
#include "cli/command_line.hpp"
#include "run/run.hpp"
#include "run/standard_streams.hpp"

#include <variant>

int main(int argc, char** argv) {
    // Before anything is opened, so that no file of ours can become a
    // standard stream that was closed.
    fill_closed_standard_streams();
    const command asked = parse_command_line(argc, argv);
    if (const int* status = std::get_if<int>(&asked)) return *status;
    return run_guidepack(std::get<run_options>(asked));
}
