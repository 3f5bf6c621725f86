#include "guide/guide_writer.hpp"

#include "format/guide_format.hpp"
#include "guide/guide_record.hpp"
#include "guide/text_conversion.hpp"
#include "replace/guide_file.hpp"
#include "replace/output_file.hpp"
#include "guide/record_store.hpp"
#include "common/trace.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

void write_i32(output_file& file, std::int32_t value) {
    unsigned char bytes[guide_format::count_size];
    guide_format::encode_i32(value, bytes);
    file.write(bytes, sizeof bytes);
}

// The header: magic, version, then the time stamp's ten digits.
void write_header(output_file& file, std::string_view stamp_digits) {
    file.write(guide_format::magic.data(), guide_format::magic.size());
    file.write(guide_format::version.data(), guide_format::version.size());
    file.write(stamp_digits.data(), stamp_digits.size());
}

// The channel at model position `channel`, written at guide position `index`.
void write_channel(output_file& file, std::int32_t channel, std::int32_t index, record_store& records,
                   std::string& scratch) {
    const channel_t& written = prg_file.channels[static_cast<std::size_t>(channel)];
    trace_text("- writing channel ");
    trace_number(index);
    trace_text("\r\n");
    text_view icon = view_of(written.icon);
    if (icon) icon = convert_icon_name(*icon);
    write_string(file, icon, scratch, records.text());
    write_string(file, view_of(written.display_name), scratch, records.text());
    write_i32(file, written.nb_programs);
    trace_text("- writing ");
    trace_number(written.nb_programs);
    trace_text(" programs for channel ");
    trace_number(index);
    trace_text("\r\n");
    records.copy_channel_records(channel, file);
}

// The cause of a failure just reported, on a line of its own.
void report_cause(const std::string& cause) {
    if (!cause.empty()) std::fprintf(stderr, "guidepack: %s\n", cause.c_str());
}

} // namespace

std::string format_timestamp(std::int64_t seconds) {
    // The field has room for ten digits: a clock before 1970 or after 2286
    // is written as the nearest time that fits.
    seconds = std::clamp<std::int64_t>(seconds, 0, 9'999'999'999);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010lld", static_cast<long long>(seconds));
    return digits;
}

std::string_view convert_icon_name(std::string_view icon) {
    const std::size_t slash = icon.rfind('/');
    if (slash != std::string_view::npos) icon.remove_prefix(slash + 1);
    return icon.substr(0, icon.find('.'));
}

void write_string(output_file& file, text_view field, std::string& scratch, text_conversion& text) {
    scratch.clear();
    if (text.active()) append_guide_string(scratch, field, text);
    else append_guide_string(scratch, field);
    file.write(scratch.data(), scratch.size());
}

void write_prg_file(output_file& file, std::string_view stamp_digits, record_store& records,
                    const std::vector<std::int32_t>* order) {
    trace_text("- writing header\r\n");
    write_header(file, stamp_digits);
    trace_text("- writing nb_channels\r\n");
    write_i32(file, prg_file.nb_channels);

    std::string scratch;
    if (order != nullptr) records.read_back_in(*order);
    for (std::int32_t i = 0; i < prg_file.nb_channels; ++i)
        write_channel(file, order != nullptr ? (*order)[static_cast<std::size_t>(i)] : i, i, records, scratch);
}

void report_unable_to_create(const std::string& path, const std::string& cause) {
    std::fprintf(stderr, "Unable to create %s\n", path.c_str());
    report_cause(cause);
}

bool save_prg_file(const std::string& path, record_store& records, const guide_writing& how) {
    guide_file guide(path);
    return save_prg_file(guide, path, records, how);
}

bool save_prg_file(guide_file& guide, const std::string& path, record_store& records, const guide_writing& how) {
    const std::string digits =
        format_timestamp(how.time ? how.time->time_since_epoch().count() : static_cast<std::int64_t>(std::time(nullptr)));
    trace_text("saving ");
    trace_text(path);
    trace_text(" (time: ");
    trace_text(digits);
    trace_text(")\n");

    if (!guide.open()) {
        report_unable_to_create(path, guide.failure());
        return false;
    }
    write_prg_file(guide.out(), digits, records, how.order);
    trace_text("done!\r\n");
    // The trace reaches standard output before the guide changes, so that a
    // reader gone away (a closed pipe) always stops the run with the old
    // guide in place; the trace reports it.
    if (!deliver_trace()) return false;
    // A guide missing records of the spill is not complete: it is dropped.
    const bool spilled = !records.failed();
    if (!spilled || !guide.commit()) {
        std::fprintf(stderr, "%s : failed to write\n", path.c_str());
        report_cause(spilled ? guide.failure() : records.failure());
        return false;
    }
    if (how.guide_bytes != nullptr) *how.guide_bytes = guide.out().bytes_written();
    return true;
}
