#include "guide/programme_spans.hpp"

#include "common/xmltv_time.hpp"

#include <iterator>

std::optional<programme_span> span_of(text_view start, text_view stop) {
    if (!start || !stop) return std::nullopt;
    const auto begin = read_xmltv_time(*start);
    const auto end = read_xmltv_time(*stop);
    if (!begin || !end) return std::nullopt;
    return programme_span{*begin, *end > *begin ? *end : *begin + std::chrono::seconds{1}};
}

void span_union::add(programme_span span) {
    // The first run that ends at or after the span's begin: it and those
    // after it that begin at or before the span's end meet the span.
    auto run = runs_.lower_bound(span.begin);
    if (run != runs_.begin() && std::prev(run)->second >= span.begin) --run;
    while (run != runs_.end() && run->first <= span.end) {
        if (run->first < span.begin) span.begin = run->first;
        if (run->second > span.end) span.end = run->second;
        run = runs_.erase(run);
    }
    runs_.emplace_hint(run, span.begin, span.end);
}

void span_union::add(const span_union& other) {
    for (const auto& [begin, end] : other.runs_) add({begin, end});
}

bool span_union::overlaps(programme_span span) const {
    // The last run that begins before the span ends is the only one that
    // may still end after the span begins.
    auto run = runs_.lower_bound(span.end);
    if (run == runs_.begin()) return false;
    return std::prev(run)->second > span.begin;
}

void span_recorder::store(std::int32_t channel_index, const program_t& program) {
    if (next_ != nullptr) next_->store(channel_index, program);
    const std::optional<programme_span> span = span_of(program[program_field::start], program[program_field::stop]);
    if (!span) return;
    const auto index = static_cast<std::size_t>(channel_index);
    if (index >= spans_.size()) spans_.resize(index + 1);
    spans_[index].add(*span);
}
