#include "listing/listing_filter.hpp"

#include "common/xmltv_time.hpp"

bool time_window::keeps(text_view start, text_view stop) const {
    if (!start || !stop) return true;
    const auto begins = read_xmltv_time(*start);
    const auto ends = read_xmltv_time(*stop);
    if (!begins || !ends) return true;
    return !(from && *ends <= *from) && !(until && *begins >= *until);
}

bool listing_filter::keeps_channel(text_view id) {
    bool kept = true;
    if (selection) kept = id && selection->selects_channel(*id);
    if (kept && id && declared_.contains(*id)) kept = false;
    if (!kept) ++left_out_.channels;
    return kept;
}

bool listing_filter::keeps_programme_of(text_view channel) {
    const bool kept = !selection || (channel && selection->selects(*channel));
    if (!kept) ++left_out_.programmes_of_channels;
    return kept;
}

bool listing_filter::keeps_programme_times(text_view start, text_view stop) {
    const bool kept = window.keeps(start, stop);
    if (!kept) ++left_out_.programmes_out_of_time;
    return kept;
}

const span_union* listing_filter::attached_to(text_view channel) const {
    if (!channel) return nullptr;
    const auto found = attached_earlier_.find(*channel);
    return found == attached_earlier_.end() || found->second.empty() ? nullptr : &found->second;
}

bool listing_filter::keeps_programme_beside(const span_union& attached, text_view start, text_view stop) {
    const std::optional<programme_span> span = span_of(start, stop);
    const bool kept = !span || !attached.overlaps(*span);
    if (!kept) ++left_out_.duplicates;
    return kept;
}
