#include "reader.hpp"

#include "attribute_size.hpp"
#include "guide_model.hpp"
#include "libxml_output.hpp"

#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <memory>

std::string element_name;

namespace {

constexpr int element_start_node = 1;
constexpr int text_node = 3;

struct reader_deleter {
    void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using reader_handle = std::unique_ptr<xmlTextReader, reader_deleter>;

struct xml_string_deleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};
using xml_string = std::unique_ptr<xmlChar, xml_string_deleter>;

std::string_view view(const xmlChar* text) {
    return text == nullptr ? std::string_view{} : std::string_view(reinterpret_cast<const char*>(text));
}

// An attribute whose entities would expand beyond libxml2's own limit on a
// text: reading stops there, as on an XML error.
struct oversized_attribute {
    const char* name;
};

// Hands on an attribute the element carries.
void pass_attribute(xmlTextReaderPtr reader, listing_walk& walk, const char* name, value_target target) {
    if (attribute_size(reader, name, XML_MAX_TEXT_LENGTH) > XML_MAX_TEXT_LENGTH) throw oversized_attribute{name};
    const xml_string value(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name)));
    if (value) walk.value(target, view(value.get()));
}

void pass_programme_attributes(xmlTextReaderPtr reader, listing_walk& walk) {
    for (const program_field_info& wanted : program_fields) {
        if (wanted.source != field_source::programme_attribute) continue;
        // The names are literals: their views end in a NUL.
        pass_attribute(reader, walk, wanted.listing_name.data(), target_of(wanted.field));
    }
}

// An element the walk looks at: what it starts, where its texts go.
struct known_element {
    std::string_view name;
    element_kind kind;
    std::optional<value_target> text_target;
};

constexpr std::size_t element_text_count = [] {
    std::size_t count = 0;
    for (const program_field_info& field : program_fields)
        count += field.source == field_source::element_text ? 1 : 0;
    return count;
}();

constexpr auto known_elements = [] {
    std::array<known_element, 4 + element_text_count> known{{
        {"channel", element_kind::channel, std::nullopt},
        {"icon", element_kind::icon, std::nullopt},
        {"programme", element_kind::programme, std::nullopt},
        {"display-name", element_kind::other, value_target::display_name},
    }};
    std::size_t at = 4;
    for (const program_field_info& field : program_fields)
        if (field.source == field_source::element_text)
            known[at++] = {field.listing_name, element_kind::other, target_of(field.field)};
    return known;
}();

constexpr known_element unknown_element{{}, element_kind::other, std::nullopt};

constexpr std::size_t longest_known_name = [] {
    std::size_t longest = 0;
    for (const known_element& known : known_elements) longest = std::max(longest, known.name.size());
    return longest;
}();

// The known elements by the length of their names, and where each length
// starts among them: a name is compared with the two or three of its length.
constexpr auto known_by_length = [] {
    auto sorted = known_elements;
    std::sort(sorted.begin(), sorted.end(),
              [](const known_element& a, const known_element& b) { return a.name.size() < b.name.size(); });
    return sorted;
}();

constexpr auto first_of_length = [] {
    std::array<std::size_t, longest_known_name + 2> first{};
    for (std::size_t length = 0; length < first.size(); ++length) {
        std::size_t at = 0;
        while (at < known_by_length.size() && known_by_length[at].name.size() < length) ++at;
        first[length] = at;
    }
    return first;
}();

bool same_bytes(std::string_view a, std::string_view b) {
    // Short names of one length: a byte loop beats a call to memcmp.
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

const known_element& element_named(std::string_view name) {
    if (name.size() > longest_known_name) return unknown_element;
    for (std::size_t at = first_of_length[name.size()]; at < first_of_length[name.size() + 1]; ++at)
        if (same_bytes(known_by_length[at].name, name)) return known_by_length[at];
    return unknown_element;
}

void start_element(xmlTextReaderPtr reader, listing_walk& walk) {
    const std::string_view name = view(xmlTextReaderConstName(reader));
    const known_element& element = element_named(name);
    walk.start_element(element.kind, name, element.text_target);
    switch (element.kind) {
    case element_kind::channel:
        pass_attribute(reader, walk, "id", value_target::channel_id);
        break;
    case element_kind::icon:
        // Without a channel an icon goes nowhere: its source is not read.
        if (walk.any_channel()) pass_attribute(reader, walk, "src", value_target::icon_source);
        break;
    case element_kind::programme:
        pass_programme_attributes(reader, walk);
        break;
    case element_kind::other:
        break;
    }
}

// The text is fetched only once it is known to be wanted: most texts of a
// listing belong to elements nobody reads.
void take_text(xmlTextReaderPtr reader, listing_walk& walk) {
    const std::optional<value_target> target = walk.text_target();
    if (target && xmlTextReaderHasValue(reader)) walk.value(*target, view(xmlTextReaderConstValue(reader)));
}

// Walks the listing to its end or its first error.
listing_read walk_listing(xmlTextReaderPtr reader, listing_walk& walk) {
    listing_read read;
    int result;
    try {
        while ((result = xmlTextReaderRead(reader)) == 1) {
            read.any_node = true;
            processNode(reader, walk);
            walk.node_done();
        }
    } catch (const oversized_attribute& refused) {
        walk.refuse(refused.name);
        return read;
    }
    read.complete = result == 0;
    return read;
}

// Walks the listing and has the model take all it found. What libxml2 says
// meanwhile is printed in its place among the trace.
listing_read read_listing(xmlTextReaderPtr reader, const char* path, const reading_plan& plan) {
    listing_walk walk(plan, path, last_channel() != nullptr);
    listing_read read;
    {
        const libxml_output_capture capture(&listing_walk::take_diagnostic, &walk);
        read = walk_listing(reader, walk);
    }
    walk.finish();
    return read;
}

listing_read finish_reading(listing_read read, const char* path) {
    if (!read.complete) {
        std::fprintf(stderr, "%s : failed to parse\n", path);
        return read;
    }
    if (current_program) attach_current_program_to_channel();
    return read;
}

listing_read report_unopened(const char* path) {
    std::fprintf(stderr, "Unable to open %s\n", path);
    return {};
}

} // namespace

void processNode(xmlTextReaderPtr reader, listing_walk& walk) {
    switch (xmlTextReaderNodeType(reader)) {
    case element_start_node:
        start_element(reader, walk);
        break;
    case text_node:
        take_text(reader, walk);
        break;
    default:
        break;
    }
}

listing_read parse_xml_file(const char* path, const reading_plan& plan) {
    listing_read read;
    {
        const reader_handle reader(xmlReaderForFile(path, nullptr, 0));
        if (!reader) return report_unopened(path);
        read = read_listing(reader.get(), path, plan);
    }
    return finish_reading(read, path);
}

listing_read parse_xml_memory(std::string_view listing, const char* name, const reading_plan& plan) {
    if (listing.size() > INT_MAX) return report_unopened(name);
    listing_read read;
    {
        const reader_handle reader(xmlReaderForMemory(listing.data(), static_cast<int>(listing.size()),
                                                      name, nullptr, 0));
        if (!reader) return report_unopened(name);
        read = read_listing(reader.get(), name, plan);
    }
    return finish_reading(read, name);
}
