// The guide file's strings and programme records, byte for byte. The writer
// writes channels' strings in this form, and the record store keeps every
// attached programme as its finished record: converted once, while its text
// is still in the cache, and copied as it is into the guide.
#pragma once

#include "guide_format.hpp"
#include "guide_model.hpp"

#include <cstddef>
#include <string>
#include <string_view>

// A start or stop time cut to its first 12 bytes (to the minute).
std::string_view convert_timestamp(std::string_view stamp);

// Appends one string as the file holds it: its 16-bit length, then its
// single-byte text (fix_utf8), cut to 65,535 bytes. Absent is written empty.
void append_guide_string(std::string& out, text_view field);

// Appends the record of `program`: its eleven strings in file order, start
// and stop cut to the minute. The channel is not part of it.
void append_program_record(std::string& out, const program_t& program);

// The model field behind each string of a record.
program_field model_field(guide_format::programme_string string);
