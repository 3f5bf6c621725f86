// The whole run on arbitrary bytes: the bytes are the listing, read from a
// file as the program reads it, and the guide is written to another file.
#include "guide_model.hpp"
#include "guide_writer.hpp"
#include "reader.hpp"

#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::filesystem::path work_dir;
std::string listing_path;
std::string guide_path;

void remove_work_dir() {
    std::error_code ignored;
    std::filesystem::remove_all(work_dir, ignored);
}

void make_work_dir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "guidepack-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    work_dir = pattern;
    listing_path = (work_dir / "listing.xml").string();
    guide_path = (work_dir / "guide.prg").string();
    std::atexit(remove_work_dir);
}

// The trace and libxml2's diagnostics would drown libFuzzer's own report:
// -close_fd_mask=3 sends them to /dev/null and keeps libFuzzer's stderr.
// A -close_fd_mask given on the command line comes later and wins.
void silence_program_output(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char quiet[] = "-close_fd_mask=3";
    args.assign(*argv, *argv + *argc);
    args.insert(args.begin() + 1, quiet);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
}

bool write_listing(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(listing_path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// The model must stay consistent whatever the listing held.
bool model_is_consistent() {
    if (prg_file.nb_channels != static_cast<std::int32_t>(prg_file.channels.size())) return false;
    for (const channel_t& channel : prg_file.channels)
        if (channel.nb_programs != static_cast<std::int32_t>(channel.programs.size())) return false;
    return !current_program;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    silence_program_output(argc, argv);
    make_work_dir();
    xmlCheckVersion(20627);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    reset_guide_model();
    element_name.clear();
    if (!write_listing(data, size)) std::abort();

    const bool read = parse_xml_file(listing_path.c_str());
    // A finished reading has attached the pending programme; a failed one
    // leaves it unattached, never to be written.
    if (read && !model_is_consistent()) __builtin_trap();
    current_program.reset();
    if (!model_is_consistent()) __builtin_trap();
    // A guide in a fresh temporary folder can always be written.
    if (!save_prg_file(guide_path)) __builtin_trap();
    return 0;
}
