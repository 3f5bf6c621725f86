// The whole run on arbitrary bytes, in memory: the bytes are the listing,
// read through libxml2's reader as the program reads a file, and the guide is
// written, records spilled and read back, to files that live in memory. Each
// input is read four ways: alone; through a channel selection and a time
// window drawn from its first bytes; twice into one guide; and after a fixed
// listing, so that what several listings leave out is fuzzed too.
#include "common/xmltv_time.hpp"
#include "guide/guide_model.hpp"
#include "guide/guide_writer.hpp"
#include "guide/record_store.hpp"
#include "listing/apply_events.hpp"
#include "listing/libxml_library.hpp"
#include "listing/reader.hpp"
#include "replace/output_file.hpp"
#include "run/read_listings.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
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

// A listing of the channels and times the seed listings use most.
constexpr std::string_view fixed_listing =
    "<tv><channel id='c1'><display-name>C1</display-name></channel>"
    "<programme start='20070101200000 +0100' stop='20070101210000 +0100' channel='c1'><title>T</title></programme>"
    "<programme start='20231120000000 +0000' stop='20231121000000 +0000' channel='c1'><title>U</title></programme>"
    "</tv>";

// A selection of the ids that start with the second byte, and a window of a
// few days around 2007 or 2023, as the first byte says.
listing_filter filter_drawn_from(std::string_view bytes) {
    listing_filter filter;
    if (bytes.size() < 4) return filter;
    const auto flags = static_cast<unsigned char>(bytes[0]);
    if (flags & 1) filter.selection.emplace(std::vector<std::string>{std::string(1, bytes[1]) + "*"});
    const auto base = read_xmltv_time(flags & 2 ? "20070101000000" : "20231120000000");
    const auto from = *base + std::chrono::hours{static_cast<unsigned char>(bytes[2])};
    if (flags & 4) filter.window.from = from;
    if (flags & 8) filter.window.until = from + std::chrono::hours{static_cast<unsigned char>(bytes[3])};
    return filter;
}

// Reads the listings one after the other into one guide and writes it.
void read_and_write(const std::vector<std::string_view>& listings, listing_filter& filter) {
    record_store records(memory_file());
    if (listings.size() > 1) records.order_by_start();
    reset_guide_model();
    element_name.clear();
    listing_sequence sequence(listings.size(), filter, &records);
    for (std::size_t i = 0; i < listings.size(); ++i) {
        sequence.before(i);
        // One thread: a thread started per input would cost more than the
        // input, and the two-thread reading has tests of its own.
        parse_xml_memory(listings[i], "listing.xml", reading_plan{}, &filter);
        sequence.after(i);
        // Finished or not, the reading leaves no programme pending: attached
        // at the end, or dropped when the listing failed.
        if (!model_is_consistent()) __builtin_trap();
    }
    // A guide in memory can always be written, and so can the spill.
    output_file guide(memory_file());
    write_prg_file(guide, format_timestamp(0), records);
    if (records.failed() || !guide.close()) __builtin_trap();
    keep_programs_in(nullptr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    silence_program_output(argc, argv);
    static const libxml_library libxml;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view listing(reinterpret_cast<const char*>(data), size);
    listing_filter none;
    read_and_write({listing}, none);
    listing_filter drawn = filter_drawn_from(listing);
    read_and_write({listing}, drawn);
    listing_filter twice;
    read_and_write({listing, listing}, twice);
    listing_filter after;
    read_and_write({fixed_listing, listing}, after);
    return 0;
}
