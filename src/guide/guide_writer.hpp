// Writes the guide model to a guide file (layout in guide_format.hpp) and
// traces the writing on standard output.
#pragma once

#include "guide/guide_model.hpp"
#include "guide/guide_record.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class guide_file;
class output_file;
class record_store;
class text_conversion;

// How a guide is written, besides what the model holds.
struct guide_writing {
    // The header's time stamp, in seconds since the epoch; none: the clock's.
    std::optional<std::chrono::sys_seconds> time;
    // The model positions of the guide's channels, first to last; none: the
    // model's order.
    const std::vector<std::int32_t>* order = nullptr;
    // Receives the size of the guide written, when given.
    std::uint64_t* guide_bytes = nullptr;
};

// Writes the whole model to `path`, replacing an existing guide whole or not
// at all (guide_file.hpp). Returns false, after saying so on standard error,
// when the file cannot be created or written; false too, the old guide kept,
// when the trace can no longer be delivered (trace.hpp reports it).
// The programmes come from `records`, which holds those the model attached.
bool save_prg_file(const std::string& path, record_store& records, const guide_writing& how = {});

// The same through `guide`, the place of the guide at `path` made ready
// before the listing was read.
bool save_prg_file(guide_file& guide, const std::string& path, record_store& records, const guide_writing& how = {});

// "Unable to create PATH", then its cause on a line of its own.
void report_unable_to_create(const std::string& path, const std::string& cause);

// Writes the header, stamped with `stamp_digits` (format_timestamp), and
// every channel to `file`, in `order` if given, tracing each step: the whole
// guide but for its time stamp's choice.
void write_prg_file(output_file& file, std::string_view stamp_digits, record_store& records,
                    const std::vector<std::int32_t>* order = nullptr);

// One string: its 16-bit length, then its single-byte text, given to `text`
// first when it is active. `scratch` holds the converted text between calls,
// so that no string costs an allocation.
void write_string(output_file& file, text_view field, std::string& scratch, text_conversion& text);

// The icon's base name: after the last '/', before the first '.'.
std::string_view convert_icon_name(std::string_view icon);

// Seconds since the epoch as the ten digits of the header.
std::string format_timestamp(std::int64_t seconds);
