// Where the walk of a listing puts what it finds: events, gathered in blocks
// and handed to the applying side (apply_events.hpp) in order, either on a
// second thread while the walk goes on, or on the walking thread a block at
// a time (also when no second thread can be had). Whatever the applying side
// throws reaches the walking thread, which stops there and throws it on.
#pragma once

#include "listing/block_pipe.hpp"
#include "listing/expansion_budget.hpp"
#include "listing/listing_events.hpp"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

// How a listing is read.
struct reading_plan {
    // Walk on the calling thread, apply on another.
    bool second_thread = false;
    // Events are handed on in blocks of about this many bytes.
    std::size_t block_size = std::size_t{64} << 10;
    // Show a progress line on standard error (progress.hpp).
    bool show_progress = false;

    // Two threads when the process may run on two cores or more.
    static reading_plan for_this_process();
};

class event_sink {
public:
    // `path` names the listing in messages.
    event_sink(const reading_plan& plan, const char* path);
    // Waits for what was handed on to be applied.
    ~event_sink();
    event_sink(const event_sink&) = delete;
    event_sink& operator=(const event_sink&) = delete;

    // An element starts; texts that follow go to `text_target` (none: dropped).
    void start_element(element_kind kind, std::string_view name, std::optional<value_target> text_target) {
        block_.append(event_kind::element_start, static_cast<std::uint8_t>(kind), name);
        text_target_ = text_target;
        if (kind == element_kind::channel) any_channel_ = true;
        else if (kind == element_kind::programme) ++programmes_;
    }
    // Where the text of the element last started goes, if anywhere.
    std::optional<value_target> text_target() const { return text_target_; }
    // Whether the model has a channel by now: only then is an icon looked at.
    bool any_channel() const { return any_channel_; }
    // "programme" elements started so far.
    std::uint64_t programmes() const { return programmes_; }

    void value(value_target target, std::string_view bytes) {
        block_.append(event_kind::value, static_cast<std::uint8_t>(target), bytes);
    }
    // While elements are left out: texts that meet across them, with nothing
    // but white space between, are one text, as in the listing without them.
    // `text` is a text node's value; the others are the nodes around it.
    void text(value_target target, std::string_view bytes);
    void white_space(std::string_view bytes) {
        if (text_target_) gap_.append(bytes);
    }
    void element_left_out() { left_out_since_text_ = true; }
    void other_node() { end_text_run(); }

    // Reading stops on this attribute.
    void refuse(std::string_view attribute) { block_.append(event_kind::oversized_attribute, 0, attribute); }
    // The bytes all attribute values taken expand to.
    expansion_budget& attribute_expansion() { return attribute_expansion_; }
    // Reading stops: the attribute values would expand beyond their bound.
    void refuse_expansion(const expansion_limit& limit) {
        block_.append(event_kind::expansion_refused, 0,
                      std::string_view(reinterpret_cast<const char*>(&limit), sizeof limit));
    }
    // For libxml_output_capture: what libxml2 prints.
    static void take_diagnostic(void* sink, std::string_view text) noexcept;

    // Between two nodes: a full block is handed on, unless its last text
    // may still grow.
    void node_done() {
        if (lost_diagnostic_) std::rethrow_exception(lost_diagnostic_);
        if (block_.size() >= block_size_ && open_text_ == no_text) hand_on();
    }
    // The listing ends, read to its end or not; then every event is applied
    // before this returns.
    void finish(listing_end end);

private:
    static constexpr std::size_t no_text = SIZE_MAX;

    void end_text_run() {
        open_text_ = no_text;
        gap_.clear();
        left_out_since_text_ = false;
    }
    void hand_on();
    void apply_all();
    void stop_applier();

    const char* path_;
    std::size_t block_size_;
    event_block block_;
    std::optional<value_target> text_target_;
    // The event of the last text, while elements left out may join the next
    // one to it; the white space since; whether an element was left out since.
    std::size_t open_text_ = no_text;
    std::string gap_;
    bool left_out_since_text_ = false;
    bool any_channel_;
    std::uint64_t programmes_ = 0;
    // What a diagnostic could not be kept for (no memory): it may not cross
    // libxml2's code, so it waits for the end of the node.
    std::exception_ptr lost_diagnostic_;
    expansion_budget attribute_expansion_;
    std::optional<block_pipe> pipe_;
    std::thread applier_;
};
