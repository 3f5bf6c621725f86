// What of a listing the walk leaves out, each element whole: channels not
// selected or declared by an earlier listing, programmes of channels not
// selected, outside the time window, or overlapping what an earlier listing
// attached to their channel. It counts what it leaves out.
#pragma once

#include "common/text.hpp"
#include "guide/programme_spans.hpp"
#include "listing/channel_selection.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

// A programme is outside the window when its start and stop are both
// XMLTV times and it ends at or before `from` or starts at or after `until`.
struct time_window {
    std::optional<std::chrono::sys_seconds> from;
    std::optional<std::chrono::sys_seconds> until;

    bool bounded() const { return from || until; }
    // A programme whose times cannot be read cannot be judged: it is kept.
    bool keeps(text_view start, text_view stop) const;
};

// What earlier listings attached, by channel id.
using spans_by_channel = std::unordered_map<std::string, span_union, id_hash, std::equal_to<>>;

using channel_ids = std::unordered_set<std::string, id_hash, std::equal_to<>>;

struct left_out_counts {
    std::uint64_t channels = 0;
    std::uint64_t programmes_of_channels = 0; // channel not selected
    std::uint64_t programmes_out_of_time = 0;
    std::uint64_t duplicates = 0; // overlapping what an earlier listing attached

    bool operator==(const left_out_counts&) const = default;
};

class listing_filter {
public:
    std::optional<channel_selection> selection; // none: every channel
    time_window window;

    // The ids of the channels earlier listings declared, fixed while a
    // listing is read.
    void declared_earlier(channel_ids ids) {
        declared_ = std::move(ids);
    }

    // The spans of the programmes earlier listings attached, fixed while a
    // listing is read; added to between listings.
    spans_by_channel& attached_earlier() { return attached_earlier_; }

    bool judges_channels() const { return selection || !declared_.empty(); }
    bool judges_programme_channels() const { return selection.has_value(); }
    bool judges_times() const { return window.bounded(); }
    bool judges_duplicates() const { return !attached_earlier_.empty(); }
    bool leaves_anything_out() const { return judges_channels() || judges_times() || judges_duplicates(); }

    // With a selection, a channel without id or a programme without channel
    // names no line: it is left out.
    bool keeps_channel(text_view id);
    bool keeps_programme_of(text_view channel);
    bool keeps_programme_times(text_view start, text_view stop);
    // What earlier listings attached to `channel`; null when nothing.
    const span_union* attached_to(text_view channel) const;
    // A programme of a channel that holds `attached` is left out when its
    // start and stop are both XMLTV times and its span overlaps them.
    bool keeps_programme_beside(const span_union& attached, text_view start, text_view stop);

    const left_out_counts& left_out() const { return left_out_; }

private:
    channel_ids declared_;
    spans_by_channel attached_earlier_;
    left_out_counts left_out_;
};
