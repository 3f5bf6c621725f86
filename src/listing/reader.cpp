#include "listing/reader.hpp"

#include "listing/attribute_size.hpp"
#include "listing/libxml_output.hpp"
#include "listing/listing_file.hpp"
#include "listing/progress.hpp"
#include "listing/read_ahead.hpp"

#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

namespace {

constexpr int element_start_node = 1;
constexpr int text_node = 3;
constexpr int white_space_node = 13;
constexpr int significant_white_space_node = 14;

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

// An attribute fetched for the filter's verdict, handed on as it is if the
// element is kept. One too long to fetch is not fetched: the element is kept
// unjudged, and handing it on refuses it as it would without a filter.
struct fetched_attribute {
    bool fetched = false;
    xml_string value;

    text_view text() const { return value ? text_view(view(value.get())) : text_view(); }
};

// What the filter fetched of an element: a programme's attributes in
// program_field order (start, stop, channel), a channel's id first.
using fetched_attributes = std::array<fetched_attribute, 3>;

constexpr std::size_t attribute_slot(program_field field) { return static_cast<std::size_t>(field); }
static_assert(attribute_slot(program_field::channel) == 2 && attribute_slot(program_field::start) == 0);

// Attribute values that, with the next one, would expand beyond their bound
// for the whole listing: reading stops there too.
struct refused_expansion {
    expansion_limit limit;
};

// Counts a value before it is fetched: reading stops when all values
// fetched would then expand too far.
void admit_expansion(xmlTextReaderPtr reader, event_sink& sink, std::size_t size) {
    expansion_budget& budget = sink.attribute_expansion();
    if (!budget.admit(size, [reader] { return xmlTextReaderByteConsumed(reader); }))
        throw refused_expansion{{budget.bound(), budget.consumed()}};
}

fetched_attribute fetch_attribute(xmlTextReaderPtr reader, event_sink& sink, const char* name) {
    const std::size_t size = attribute_size(reader, name, XML_MAX_TEXT_LENGTH);
    if (size > XML_MAX_TEXT_LENGTH) return {};
    admit_expansion(reader, sink, size);
    return {true, xml_string(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name)))};
}

// Stops the reading on a value too long, alone or with all values fetched.
void admit_attribute(xmlTextReaderPtr reader, event_sink& sink, const char* name, std::size_t size) {
    if (size > XML_MAX_TEXT_LENGTH) throw oversized_attribute{name};
    admit_expansion(reader, sink, size);
}

// Hands on an attribute of `element`, the node the reader stands on, with
// the bytes xmlTextReaderGetAttribute returns, unless the filter fetched it:
// read where libxml2 holds the value whole, built by libxml2 only when
// entity references make it up.
void pass_attribute(xmlTextReaderPtr reader, const xmlNode* element, event_sink& sink, const char* name,
                    value_target target, const fetched_attribute* earlier) {
    if (earlier != nullptr && earlier->fetched) {
        if (earlier->value) sink.value(target, view(earlier->value.get()));
        return;
    }
    // xmlTextReaderGetAttribute's own lookup for a name without prefix.
    const xmlAttr* attribute = xmlHasNsProp(element, reinterpret_cast<const xmlChar*>(name), nullptr);
    if (attribute == nullptr) return;
    if (const held_value held = held_value_of(attribute); held.whole) {
        if (held.text == nullptr) return;
        const std::string_view value = view(held.text);
        admit_attribute(reader, sink, name, value.size());
        sink.value(target, value);
        return;
    }
    admit_attribute(reader, sink, name, attribute_size(attribute, XML_MAX_TEXT_LENGTH));
    const xml_string value(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name)));
    if (value) sink.value(target, view(value.get()));
}

void pass_programme_attributes(xmlTextReaderPtr reader, const xmlNode* element, event_sink& sink,
                               const fetched_attributes* earlier) {
    for (const program_field_info& wanted : program_fields) {
        if (wanted.source != field_source::programme_attribute) continue;
        // The names are literals: their views end in a NUL.
        pass_attribute(reader, element, sink, wanted.listing_name.data(), target_of(wanted.field),
                       earlier != nullptr ? &(*earlier)[attribute_slot(wanted.field)] : nullptr);
    }
}

// Fetches what the filter needs, the channel first: most programmes left out
// are left out for it.
bool keeps_programme(xmlTextReaderPtr reader, event_sink& sink, listing_filter& filter,
                     fetched_attributes& fetched) {
    fetched_attribute& channel = fetched[attribute_slot(program_field::channel)];
    if (filter.judges_programme_channels() || filter.judges_duplicates()) {
        channel = fetch_attribute(reader, sink, "channel");
        if (channel.fetched && filter.judges_programme_channels() && !filter.keeps_programme_of(channel.text()))
            return false;
    }
    const span_union* attached = channel.fetched ? filter.attached_to(channel.text()) : nullptr;
    if (!filter.judges_times() && attached == nullptr) return true;
    fetched_attribute& start = fetched[attribute_slot(program_field::start)];
    fetched_attribute& stop = fetched[attribute_slot(program_field::stop)];
    start = fetch_attribute(reader, sink, "start");
    if (!start.fetched) return true;
    stop = fetch_attribute(reader, sink, "stop");
    if (!stop.fetched) return true;
    if (filter.judges_times() && !filter.keeps_programme_times(start.text(), stop.text())) return false;
    return attached == nullptr || filter.keeps_programme_beside(*attached, start.text(), stop.text());
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

const known_element& element_named(std::string_view name) {
    for (const known_element& known : known_elements)
        if (known.name == name) return known;
    return unknown_element;
}

// The filter's verdict on an element, from the attributes it needs alone.
bool keeps_element(xmlTextReaderPtr reader, event_sink& sink, const known_element& element,
                   listing_filter& filter, fetched_attributes& fetched) {
    switch (element.kind) {
    case element_kind::channel:
        if (!filter.judges_channels()) return true;
        fetched[0] = fetch_attribute(reader, sink, "id");
        return !fetched[0].fetched || filter.keeps_channel(fetched[0].text());
    case element_kind::programme:
        return keeps_programme(reader, sink, filter, fetched);
    case element_kind::icon:
    case element_kind::other:
        break;
    }
    return true;
}

// Whether `element` has a "programme" among its ancestors, named as the
// walk names elements (its prefixed name, when it has a prefix). The reader
// keeps the ancestors of the node it stands on.
bool inside_programme(const xmlNode* element) {
    for (const xmlNode* up = element->parent; up != nullptr && up->type == XML_ELEMENT_NODE; up = up->parent)
        if ((up->ns == nullptr || up->ns->prefix == nullptr) && view(up->name) == "programme") return true;
    return false;
}

// Hands on the start of `node`, an element, and the attributes the guide
// keeps of it, those the filter fetched (if any) as they are.
void start_element(xmlTextReaderPtr reader, const xmlNode* node, event_sink& sink, std::string_view name,
                   const known_element& element, const fetched_attributes* fetched) {
    sink.start_element(element.kind, name, element.text_target);
    switch (element.kind) {
    case element_kind::channel:
        pass_attribute(reader, node, sink, "id", value_target::channel_id,
                       fetched != nullptr ? &(*fetched)[0] : nullptr);
        break;
    case element_kind::icon:
        // Without a channel an icon goes nowhere, and a programme's icon (its
        // picture, its rating's) is no channel's logo: its source is not read.
        if (sink.any_channel() && !inside_programme(node))
            pass_attribute(reader, node, sink, "src", value_target::icon_source, nullptr);
        break;
    case element_kind::programme:
        pass_programme_attributes(reader, node, sink, fetched);
        break;
    case element_kind::other:
        break;
    }
}

// xmlTextReaderConstName's answer for an element, asked of libxml2 only when
// it must join a prefix to the name.
std::string_view name_of(xmlTextReaderPtr reader, const xmlNode* element) {
    if (element->ns == nullptr || element->ns->prefix == nullptr) return view(element->name);
    return view(xmlTextReaderConstName(reader));
}

// xmlIsBlankNode's test of a text node, without the call: half the texts
// the guide might take are the white space after an element it takes.
bool is_blank(const xmlNode* text) {
    if (text->content == nullptr) return true;
    for (const xmlChar* at = text->content; *at != 0; ++at)
        if (!xmlIsBlank_ch(*at)) return false;
    return true;
}

// A text is looked at only once it is known to be wanted: most texts of a
// listing belong to elements nobody reads, or are the white space between
// elements. One of white space only is no text to libxml2's reader (its node
// type is "whitespace"); any other's value is the node's content. Inlined in
// the walk's loop, as process_node is.
[[gnu::always_inline]] inline void take_text(const xmlNode* node, event_sink& sink) {
    const std::optional<value_target> target = sink.text_target();
    if (target && !is_blank(node)) sink.value(*target, view(node->content));
}

// With a filter, an element left out yields no event at all: element_name and
// the text target stay as they were, as if it were not in the listing. Texts
// and white space that would meet without it are one text (event_sink). Out
// of line, so that the walk without a filter is compiled as it always was
// (inlined, it cost that walk 1 % more instructions).
[[gnu::noinline]] walk_step process_filtered_node(xmlTextReaderPtr reader, event_sink& sink, listing_filter& filter) {
    switch (xmlTextReaderNodeType(reader)) {
    case element_start_node: {
        const std::string_view name = view(xmlTextReaderConstName(reader));
        const known_element& element = element_named(name);
        fetched_attributes fetched;
        if (!keeps_element(reader, sink, element, filter, fetched)) {
            sink.element_left_out();
            return walk_step::past;
        }
        sink.other_node();
        start_element(reader, xmlTextReaderCurrentNode(reader), sink, name, element, &fetched);
        break;
    }
    case text_node:
        if (sink.text_target() && xmlTextReaderHasValue(reader))
            sink.text(*sink.text_target(), view(xmlTextReaderConstValue(reader)));
        break;
    case white_space_node:
    case significant_white_space_node:
        if (sink.text_target() && xmlTextReaderHasValue(reader))
            sink.white_space(view(xmlTextReaderConstValue(reader)));
        break;
    default:
        sink.other_node();
        break;
    }
    return walk_step::into;
}

// Without a filter, the node's own type tells elements and texts from the
// rest: libxml2's reader would also sort every text into white space or not,
// which only the few texts the guide takes need. Inlined in the walk's loop,
// where a call for each node would cost about 1 % of the walk.
[[gnu::always_inline]] inline walk_step process_node(xmlTextReaderPtr reader, event_sink& sink,
                                                     listing_filter* filter) {
    if (filter != nullptr) return process_filtered_node(reader, sink, *filter);
    const xmlNode* node = xmlTextReaderCurrentNode(reader);
    if (node == nullptr) return walk_step::into;
    switch (node->type) {
    case XML_ELEMENT_NODE:
        if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT) {
            const std::string_view name = name_of(reader, node);
            start_element(reader, node, sink, name, element_named(name), nullptr);
        }
        break;
    case XML_TEXT_NODE:
        take_text(node, sink);
        break;
    default:
        break;
    }
    return walk_step::into;
}

// Walks the listing to its end or its first error. An element left out is
// stepped over with its contents, which are parsed but not looked at.
listing_read walk_listing(xmlTextReaderPtr reader, event_sink& sink, listing_filter* filter,
                          reading_progress* progress) {
    listing_read read;
    int result;
    try {
        result = xmlTextReaderRead(reader);
        while (result == 1) {
            read.any_node = true;
            const walk_step step = process_node(reader, sink, filter);
            if (progress) progress->node_done(reader, sink.programmes());
            sink.node_done();
            result = step == walk_step::past ? xmlTextReaderNext(reader) : xmlTextReaderRead(reader);
        }
    } catch (const oversized_attribute& refused) {
        sink.refuse(refused.name);
        return read;
    } catch (const refused_expansion& refused) {
        sink.refuse_expansion(refused.limit);
        return read;
    }
    read.complete = result == 0;
    return read;
}

struct reader_deleter {
    void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using reader_handle = std::unique_ptr<xmlTextReader, reader_deleter>;

// What libxml2 prints goes among the events, once the progress line, which
// it would land in, is erased for good.
struct progress_then_sink {
    reading_progress* progress;
    event_sink* sink;

    static void take(void* route, std::string_view text) noexcept {
        const auto* self = static_cast<progress_then_sink*>(route);
        if (self->progress) self->progress->stop();
        event_sink::take_diagnostic(self->sink, text);
    }
};

// "Unable to open PATH", then its cause ("PATH: CAUSE") on a line of its own.
listing_read report_unopened(const char* path, const std::string& cause) {
    std::fprintf(stderr, "Unable to open %s\nguidepack: %s\n", path, cause.c_str());
    return {};
}

// Walks the listing and has every event applied. What libxml2 says meanwhile
// is printed in its place among the trace.
listing_read read_listing(reader_handle reader, const char* path, const reading_plan& plan,
                          listing_filter* filter) {
    event_sink sink(plan, path);
    std::optional<reading_progress> progress;
    if (plan.show_progress) progress.emplace(path);
    listing_read read;
    {
        progress_then_sink diagnostics{progress ? &*progress : nullptr, &sink};
        const libxml_output_capture capture(&progress_then_sink::take, &diagnostics);
        read = walk_listing(reader.get(), sink, filter != nullptr && filter->leaves_anything_out() ? filter : nullptr,
                            diagnostics.progress);
    }
    reader.reset();
    progress.reset();
    sink.finish(read.complete ? listing_end::complete : listing_end::failed);
    return read;
}

// With two cores, a gzip file is unpacked on a thread of its own, as
// libxml2 would unpack it (read_ahead.hpp). The reader is opened with the
// path for its URL: libxml2 names the listing in its messages as it would.
reader_handle open_listing(const char* path, const reading_plan& plan, std::optional<listing_read_ahead>& ahead) {
    if (plan.second_thread && listing_read_ahead::suits(path)) {
        // What xmlReaderForFile opens first; where it fails, so would that.
        listing_read_ahead::input_handle input(xmlParserInputBufferCreateFilename(path, XML_CHAR_ENCODING_NONE));
        if (!input) return nullptr;
        try {
            ahead.emplace(std::move(input));
            return reader_handle(xmlReaderForIO(&listing_read_ahead::read, &listing_read_ahead::close, &*ahead, path,
                                                nullptr, 0));
        } catch (const std::system_error&) {
            // No thread to be had: libxml2 unpacks it on this one.
        }
    }
    return reader_handle(xmlReaderForFile(path, nullptr, 0));
}

} // namespace

walk_step processNode(xmlTextReaderPtr reader, event_sink& sink, listing_filter* filter) {
    return process_node(reader, sink, filter);
}

listing_read parse_xml_file(const char* path, const reading_plan& plan, listing_filter* filter) {
    // Outlives the reader, which reads through it.
    std::optional<listing_read_ahead> ahead;
    // errno tells why libxml2 could not open the listing. It is put back
    // after: libxml2 words an I/O error of a compressed listing after the
    // errno it finds, and one of 0 it does not print at all.
    const int earlier = errno;
    errno = 0;
    reader_handle reader = open_listing(path, plan, ahead);
    const int cause = errno;
    errno = earlier;
    if (!reader) return report_unopened(path, unopened_cause(path, cause));
    return read_listing(std::move(reader), path, plan, filter);
}

listing_read parse_xml_memory(std::string_view listing, const char* name, const reading_plan& plan,
                              listing_filter* filter) {
    if (listing.size() > INT_MAX) return report_unopened(name, std::string(name) + ": more than 2 GB in memory");
    reader_handle reader(xmlReaderForMemory(listing.data(), static_cast<int>(listing.size()), name, nullptr, 0));
    if (!reader) return report_unopened(name, std::string(name) + ": libxml2 could not open it");
    return read_listing(std::move(reader), name, plan, filter);
}
