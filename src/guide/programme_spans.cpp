#include "guide/programme_spans.hpp"

#include "common/xmltv_time.hpp"

#include <algorithm>
#include <iterator>

std::optional<programme_span> span_of(text_view start, text_view stop) {
    if (!start || !stop) return std::nullopt;
    const auto begin = read_xmltv_time(*start);
    const auto end = read_xmltv_time(*stop);
    if (!begin || !end) return std::nullopt;
    return programme_span{*begin, *end > *begin ? *end : *begin + std::chrono::seconds{1}};
}

void span_union::add(programme_span span) {
    if (waiting_.empty() && (runs_.empty() || span.begin >= runs_.back().begin)) {
        if (!runs_.empty() && span.begin <= runs_.back().end) runs_.back().end = std::max(runs_.back().end, span.end);
        else runs_.push_back(span);
        return;
    }
    waiting_.push_back(span);
    if (waiting_.size() > std::max<std::size_t>(1024, runs_.size())) merge_waiting();
}

void span_union::add(const span_union& other) {
    other.merge_waiting();
    for (const programme_span& span : other.runs_) add(span);
    merge_waiting();
}

void span_union::add(span_union&& other) {
    if (!empty()) return add(other);
    runs_ = std::move(other.runs_);
    waiting_ = std::move(other.waiting_);
    merge_waiting();
}

void span_union::merge_waiting() const {
    if (waiting_.empty()) return;
    const auto earlier = [](const programme_span& a, const programme_span& b) { return a.begin < b.begin; };
    std::sort(waiting_.begin(), waiting_.end(), earlier);
    std::vector<programme_span> all;
    all.reserve(runs_.size() + waiting_.size());
    std::merge(runs_.begin(), runs_.end(), waiting_.begin(), waiting_.end(), std::back_inserter(all), earlier);
    runs_.clear();
    for (const programme_span& span : all) {
        if (!runs_.empty() && span.begin <= runs_.back().end) runs_.back().end = std::max(runs_.back().end, span.end);
        else runs_.push_back(span);
    }
    std::vector<programme_span>().swap(waiting_);
}

bool span_union::overlaps(programme_span span) const {
    merge_waiting();
    // The last run that begins before the span ends is the only one that
    // may still end after the span begins.
    const auto run = std::lower_bound(runs_.begin(), runs_.end(), span.end,
                                      [](const programme_span& r, std::chrono::sys_seconds end) { return r.begin < end; });
    return run != runs_.begin() && std::prev(run)->end > span.begin;
}

std::size_t span_union::runs() const {
    merge_waiting();
    return runs_.size();
}

void span_recorder::store(std::int32_t channel_index, const program_t& program) {
    if (next_ != nullptr) next_->store(channel_index, program);
    const std::optional<programme_span> span = span_of(program[program_field::start], program[program_field::stop]);
    if (!span) return;
    const auto index = static_cast<std::size_t>(channel_index);
    if (index >= spans_.size()) spans_.resize(index + 1);
    spans_[index].add(*span);
}
