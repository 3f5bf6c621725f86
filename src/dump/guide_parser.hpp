// Reads a guide file held in memory back into its records, checking its
// structure on the way. Whatever the bytes, it either returns the records or
// throws guide_error at the first fault, and it never reserves room for a
// count the remaining bytes cannot hold.
#pragma once

#include "format/guide_format.hpp"

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Every string is a view into the bytes given to parse_guide, which must
// outlive the result. The file does not tell absent strings from empty ones:
// both are empty here. Text is single-byte (Latin-1), as in the file.
struct guide_programme {
    std::array<std::string_view, guide_format::programme_string_count> strings;

    std::string_view operator[](program_field field) const { return strings[record_position(field)]; }
};

struct guide_channel {
    std::string_view icon;
    std::string_view display_name;
    std::vector<guide_programme> programmes;
};

struct guide {
    std::string_view magic;
    std::string_view version;
    std::string_view timestamp; // ten digits, as written
    std::vector<guide_channel> channels;
};

// A structural fault, at the offset of the field where it was found.
// what() reads "offset <n>: <message>".
class guide_error : public std::runtime_error {
public:
    guide_error(std::size_t offset, const std::string& message);
    std::size_t offset() const { return offset_; }

private:
    std::size_t offset_;
};

guide parse_guide(std::string_view bytes);
