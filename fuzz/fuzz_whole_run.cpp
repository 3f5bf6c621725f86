// The whole run on arbitrary bytes, in memory: the bytes are the listing,
// read through libxml2's reader as the program reads a file, and the guide is
// written, records spilled and read back, to files that live in memory.
#include "guide/guide_model.hpp"
#include "guide/guide_writer.hpp"
#include "listing/apply_events.hpp"
#include "replace/output_file.hpp"
#include "listing/reader.hpp"
#include "guide/record_store.hpp"

#include <libxml/parser.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

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

int memory_file() {
    const int fd = ::memfd_create("guidepack-fuzz", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}

// The model must stay consistent whatever the listing held.
bool model_is_consistent() {
    return prg_file.nb_channels == static_cast<std::int32_t>(prg_file.channels.size()) && !current_program;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    silence_program_output(argc, argv);
    xmlCheckVersion(20627);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    record_store records(memory_file());
    reset_guide_model();
    keep_programs_in(&records);
    element_name.clear();

    const std::string_view listing(reinterpret_cast<const char*>(data), size);
    // One thread: a thread started per input would cost more than the input,
    // and the two-thread reading has tests of its own.
    const listing_read read = parse_xml_memory(listing, "listing.xml", reading_plan{});
    // Finished or not, the reading leaves no programme pending: attached at
    // the end, or dropped when the listing failed.
    (void)read;
    if (!model_is_consistent()) __builtin_trap();
    // A guide in memory can always be written, and so can the spill.
    output_file guide(memory_file());
    write_prg_file(guide, format_timestamp(0), records);
    if (records.failed() || !guide.close()) __builtin_trap();
    keep_programs_in(nullptr);
    return 0;
}
