// A programme's twelve fields, once: where each comes from in the listing,
// how its repeated values combine, how the trace shows it, and where the
// guide record holds it. The model, the reader, the record and the guide's
// readers all take these facts from this table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

enum class program_field : std::uint8_t {
    start, stop, channel, title, subtitle, category,
    director, presenter, actor, date, desc, rating,
};
inline constexpr std::size_t program_field_count = 12;

// How a field is found in the listing.
enum class field_source : std::uint8_t {
    programme_attribute, // an attribute of the "programme" element
    element_text,        // the text of an element of that name
};

// How a text meets the field's earlier value.
enum class text_rule : std::uint8_t {
    replace,    // the text takes its place
    join,       // old value, '/', text
    first_only, // a later text is ignored
};

struct program_field_info {
    program_field field;
    field_source source;
    std::string_view listing_name;
    text_rule rule;
    std::string_view trace_prefix;
    // Its name in the guide record, whose strings follow this table's order;
    // empty for the one field the guide does not hold.
    std::string_view guide_name;
};

inline constexpr std::array<program_field_info, program_field_count> program_fields = {{
    {program_field::start, field_source::programme_attribute, "start", text_rule::replace, "\tstart = ", "start"},
    {program_field::stop, field_source::programme_attribute, "stop", text_rule::replace, "\tstop = ", "stop"},
    {program_field::channel, field_source::programme_attribute, "channel", text_rule::replace, "\tchannel = ", ""},
    {program_field::title, field_source::element_text, "title", text_rule::replace, "\ttitle = ", "title"},
    {program_field::subtitle, field_source::element_text, "sub-title", text_rule::replace, "\tsub-title = ",
     "sub-title"},
    {program_field::category, field_source::element_text, "category", text_rule::join, "\tcategories = ",
     "category"},
    {program_field::director, field_source::element_text, "director", text_rule::join, "\tdirectors = ",
     "director"},
    {program_field::presenter, field_source::element_text, "presenter", text_rule::join, "\tpresenters = ",
     "presenter"},
    {program_field::actor, field_source::element_text, "actor", text_rule::join, "\tactors = ", "actor"},
    {program_field::date, field_source::element_text, "date", text_rule::replace, "\tyear = ", "date"},
    {program_field::desc, field_source::element_text, "desc", text_rule::first_only, "\tdesc = ", "desc"},
    {program_field::rating, field_source::element_text, "value", text_rule::first_only, "\trating = ", "rating"},
}};

constexpr const program_field_info& field_info(program_field field) {
    return program_fields[static_cast<std::size_t>(field)];
}

// The fields of a guide record, in record order.
inline constexpr std::size_t record_field_count = [] {
    std::size_t count = 0;
    for (const program_field_info& info : program_fields) count += info.guide_name.empty() ? 0 : 1;
    return count;
}();

inline constexpr std::array<program_field, record_field_count> record_fields = [] {
    std::array<program_field, record_field_count> fields{};
    std::size_t at = 0;
    for (const program_field_info& info : program_fields)
        if (!info.guide_name.empty()) fields[at++] = info.field;
    return fields;
}();

// Where a field stands in the guide record.
constexpr std::size_t record_position(program_field field) {
    std::size_t position = 0;
    while (record_fields[position] != field) ++position;
    return position;
}

namespace program_fields_checks {
constexpr bool table_in_enum_order() {
    for (std::size_t i = 0; i < program_field_count; ++i)
        if (static_cast<std::size_t>(program_fields[i].field) != i) return false;
    return true;
}
static_assert(table_in_enum_order(), "program_fields lists every field once, in enum order");
static_assert(field_info(program_field::rating).field == program_field::rating);
} // namespace program_fields_checks
