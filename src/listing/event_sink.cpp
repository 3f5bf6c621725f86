#include "listing/event_sink.hpp"

#include "listing/apply_events.hpp"

#include <sched.h>

#include <system_error>

namespace {

// Blocks waiting for the applying thread: enough to ride out a slow moment
// of either thread, few enough to keep memory small.
constexpr std::size_t blocks_in_flight = 4;

unsigned usable_cores() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) == 0) return static_cast<unsigned>(CPU_COUNT(&cores));
    return std::thread::hardware_concurrency();
}

} // namespace

reading_plan reading_plan::for_this_process() {
    if (usable_cores() < 2) return {};
    // Large blocks: the threads meet once per megabyte.
    return {true, std::size_t{1} << 20};
}

event_sink::event_sink(const reading_plan& plan, const char* path)
    : path_(path), block_size_(plan.block_size), block_(plan.block_size), any_channel_(model_has_channel()) {
    if (!plan.second_thread) return;
    pipe_.emplace(blocks_in_flight, block_size_);
    try {
        applier_ = std::thread([this] { apply_all(); });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit): all on this one.
        pipe_.reset();
    }
}

event_sink::~event_sink() { stop_applier(); }

void event_sink::take_diagnostic(void* sink, std::string_view text) noexcept {
    auto* self = static_cast<event_sink*>(sink);
    try {
        self->block_.append(event_kind::diagnostic, 0, text);
    } catch (...) {
        if (!self->lost_diagnostic_) self->lost_diagnostic_ = std::current_exception();
    }
}

void event_sink::text(value_target target, std::string_view bytes) {
    if (!left_out_since_text_) {
        value(target, bytes);
    } else if (open_text_ != no_text && block_.last_event() == open_text_) {
        block_.extend_last(gap_);
        block_.extend_last(bytes);
    } else {
        gap_.append(bytes);
        value(target, gap_);
    }
    open_text_ = block_.last_event();
    gap_.clear();
    left_out_since_text_ = false;
}

void event_sink::hand_on() {
    if (block_.empty()) return;
    if (!pipe_) {
        apply_events(block_, path_);
        block_.clear(block_size_);
        return;
    }
    pipe_->send(std::move(block_));
    block_ = pipe_->empty_block();
}

void event_sink::finish(listing_end end) {
    if (lost_diagnostic_) std::rethrow_exception(lost_diagnostic_);
    block_.append(event_kind::end, static_cast<std::uint8_t>(end), {});
    hand_on();
    stop_applier();
    if (const std::exception_ptr failure = pipe_ ? pipe_->failure() : nullptr) std::rethrow_exception(failure);
}

void event_sink::stop_applier() {
    if (!applier_.joinable()) return;
    pipe_->close();
    applier_.join();
}

void event_sink::apply_all() {
    try {
        event_block block;
        while (pipe_->receive(block)) {
            apply_events(block, path_);
            pipe_->give_back(std::move(block));
        }
    } catch (...) {
        pipe_->give_up(std::current_exception());
    }
}
