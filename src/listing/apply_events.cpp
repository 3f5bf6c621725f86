#include "listing/apply_events.hpp"

#include "guide/guide_model.hpp"
#include "common/trace.hpp"

#include <libxml/parserInternals.h>

#include <cstdio>
#include <cstring>

std::string element_name;

namespace {

void start_channel() {
    add_channel();
    trace_text("channel ");
    trace_number(prg_file.nb_channels);
    trace_text("\n");
}

void start_programme() {
    if (current_program) attach_current_program_to_channel();
    trace_text("nouveau programme\n");
    current_program = program_new();
}

void start_element(element_kind kind, std::string_view name) {
    element_name.assign(name);
    switch (kind) {
    case element_kind::channel:
        start_channel();
        break;
    case element_kind::programme:
        start_programme();
        break;
    case element_kind::icon:
    case element_kind::other:
        break;
    }
}

void take_programme_value(const program_field_info& target, std::string_view text) {
    if (!current_program) return;
    text_field& field = (*current_program)[target.field];
    switch (target.rule) {
    case text_rule::replace:
        if (field) field->assign(text);
        else field.emplace(text);
        break;
    case text_rule::join:
        if (field) {
            field->push_back('/');
            field->append(text);
        } else {
            field.emplace(text);
        }
        break;
    case text_rule::first_only:
        if (field) return;
        field.emplace(text);
        break;
    }
    trace_value(target.trace_prefix, *field);
}

void take_value(value_target target, std::string_view text) {
    switch (target) {
    case value_target::channel_id:
        set_last_channel_id(text);
        trace_value("\tid = ", text);
        return;
    case value_target::icon_source:
        if (channel_t* channel = last_channel()) {
            channel->icon = std::string(text);
            trace_value("\ticon = ", *channel->icon);
        }
        return;
    case value_target::display_name:
        if (channel_t* channel = last_channel()) {
            channel->display_name = std::string(text);
            trace_value("\tdisplay-name = ", *channel->display_name);
        }
        return;
    }
    take_programme_value(field_info(static_cast<program_field>(target)), text);
}

void report_oversized(std::string_view attribute, const char* path) {
    std::fprintf(stderr, "%s : attribute %.*s of %s is longer than %d bytes\n", path,
                 static_cast<int>(attribute.size()), attribute.data(), element_name.c_str(), XML_MAX_TEXT_LENGTH);
}

void report_expansion(std::string_view limit_bytes, const char* path) {
    expansion_limit limit;
    std::memcpy(&limit, limit_bytes.data(), sizeof limit);
    std::fprintf(stderr, "%s : attributes expand to more than %llu bytes after %llu bytes of listing\n", path,
                 static_cast<unsigned long long>(limit.bound), static_cast<unsigned long long>(limit.consumed));
}

// The pending programme of a listing read to its end is attached; that of a
// listing cut short is dropped, so that nothing carries over to what follows.
void end_listing(listing_end end, const char* path) {
    if (end == listing_end::complete) {
        if (current_program) attach_current_program_to_channel();
        return;
    }
    std::fprintf(stderr, "%s : failed to parse\n", path);
    current_program.reset();
}

} // namespace

bool model_has_channel() { return last_channel() != nullptr; }

void apply_events(const event_block& block, const char* path) {
    block.for_each([path](const listing_event& event) {
        switch (event.kind) {
        case event_kind::element_start:
            start_element(static_cast<element_kind>(event.detail), event.bytes);
            break;
        case event_kind::value:
            take_value(static_cast<value_target>(event.detail), event.bytes);
            break;
        case event_kind::diagnostic:
            // As libxml2 wrote it: one piece, unbuffered.
            std::fwrite(event.bytes.data(), 1, event.bytes.size(), stderr);
            break;
        case event_kind::oversized_attribute:
            report_oversized(event.bytes, path);
            break;
        case event_kind::expansion_refused:
            report_expansion(event.bytes, path);
            break;
        case event_kind::end:
            end_listing(static_cast<listing_end>(event.detail), path);
            break;
        }
    });
}
