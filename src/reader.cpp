#include "reader.hpp"

#include "attribute_size.hpp"
#include "guide_model.hpp"
#include "trace.hpp"

#include <libxml/parserInternals.h>

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
    std::string element;
};

// Reads an attribute; absent when the element does not carry it.
text_field attribute(xmlTextReaderPtr reader, const char* name) {
    if (attribute_size(reader, name, XML_MAX_TEXT_LENGTH) > XML_MAX_TEXT_LENGTH)
        throw oversized_attribute{name, element_name};
    const xml_string value(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name)));
    if (!value) return std::nullopt;
    return std::string(view(value.get()));
}

void start_channel(xmlTextReaderPtr reader) {
    add_channel();
    trace_text("channel ");
    trace_number(prg_file.nb_channels);
    trace_text("\n");
    const text_field id = attribute(reader, "id");
    if (!id) return;
    set_last_channel_id(*id);
    trace_value("\tid = ", *id);
}

void take_icon(xmlTextReaderPtr reader) {
    channel_t* channel = last_channel();
    if (channel == nullptr) return;
    text_field source = attribute(reader, "src");
    if (!source) return;
    channel->icon = std::move(source);
    trace_value("\ticon = ", *channel->icon);
}

void start_programme(xmlTextReaderPtr reader) {
    if (current_program) attach_current_program_to_channel();
    trace_text("nouveau programme\n");
    current_program = program_new();
    for (const program_field_info& wanted : program_fields) {
        if (wanted.source != field_source::programme_attribute) continue;
        // The names are literals: their views end in a NUL.
        text_field value = attribute(reader, wanted.listing_name.data());
        if (!value) continue;
        text_field& target = (*current_program)[wanted.field];
        target = std::move(value);
        trace_value(wanted.trace_prefix, *target);
    }
}

void start_element(xmlTextReaderPtr reader) {
    element_name.assign(view(xmlTextReaderConstName(reader)));
    // As string_views, names of another length are told apart without memcmp.
    const std::string_view name = element_name;
    if (name == std::string_view("channel")) start_channel(reader);
    else if (name == std::string_view("icon")) take_icon(reader);
    else if (name == std::string_view("programme")) start_programme(reader);
}

const program_field_info* programme_text_target(std::string_view element) {
    for (const program_field_info& target : program_fields)
        if (target.source == field_source::element_text && target.listing_name == element) return &target;
    return nullptr;
}

// The text of the node the reader stands on. Fetched only once it is known
// to be wanted: most texts of a listing belong to elements nobody reads.
std::string_view text_value(xmlTextReaderPtr reader) {
    return view(xmlTextReaderConstValue(reader));
}

void take_display_name(xmlTextReaderPtr reader) {
    channel_t* channel = last_channel();
    if (channel == nullptr) return;
    channel->display_name = std::string(text_value(reader));
    trace_value("\tdisplay-name = ", *channel->display_name);
}

void take_programme_text(const program_field_info& target, xmlTextReaderPtr reader) {
    if (!current_program) return;
    text_field& field = (*current_program)[target.field];
    switch (target.rule) {
    case text_rule::replace:
        if (field) field->assign(text_value(reader));
        else field.emplace(text_value(reader));
        break;
    case text_rule::join:
        if (field) {
            field->push_back('/');
            field->append(text_value(reader));
        } else {
            field.emplace(text_value(reader));
        }
        break;
    case text_rule::first_only:
        if (field) return;
        field.emplace(text_value(reader));
        break;
    }
    trace_value(target.trace_prefix, *field);
}

void take_text(xmlTextReaderPtr reader) {
    if (!xmlTextReaderHasValue(reader)) return;
    if (std::string_view(element_name) == std::string_view("display-name")) {
        take_display_name(reader);
    } else if (const program_field_info* target = programme_text_target(element_name)) {
        take_programme_text(*target, reader);
    }
}

// Walks the listing to its end or its first error.
listing_read read_listing(xmlTextReaderPtr reader, const char* path) {
    listing_read read;
    int result;
    try {
        while ((result = xmlTextReaderRead(reader)) == 1) {
            read.any_node = true;
            processNode(reader);
        }
    } catch (const oversized_attribute& refused) {
        std::fprintf(stderr, "%s : attribute %s of %s is longer than %d bytes\n", path, refused.name,
                     refused.element.c_str(), XML_MAX_TEXT_LENGTH);
        return read;
    }
    read.complete = result == 0;
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

void processNode(xmlTextReaderPtr reader) {
    switch (xmlTextReaderNodeType(reader)) {
    case element_start_node:
        start_element(reader);
        break;
    case text_node:
        take_text(reader);
        break;
    default:
        break;
    }
}

listing_read parse_xml_file(const char* path) {
    listing_read read;
    {
        const reader_handle reader(xmlReaderForFile(path, nullptr, 0));
        if (!reader) return report_unopened(path);
        read = read_listing(reader.get(), path);
    }
    return finish_reading(read, path);
}

listing_read parse_xml_memory(std::string_view listing, const char* name) {
    if (listing.size() > INT_MAX) return report_unopened(name);
    listing_read read;
    {
        const reader_handle reader(xmlReaderForMemory(listing.data(), static_cast<int>(listing.size()),
                                                      name, nullptr, 0));
        if (!reader) return report_unopened(name);
        read = read_listing(reader.get(), name);
    }
    return finish_reading(read, name);
}
