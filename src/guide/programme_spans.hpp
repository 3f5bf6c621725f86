// The time a programme takes, and what several listings read into one guide
// have attached of it per channel, so that a later listing's programme that
// overlaps an earlier listing's can be left out as a duplicate.
#pragma once

#include "common/text.hpp"
#include "guide/guide_model.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// [begin, end): a programme from its start to its stop.
struct programme_span {
    std::chrono::sys_seconds begin;
    std::chrono::sys_seconds end;
};

// The span of a programme whose start and stop are both XMLTV times; one
// whose stop is not after its start spans one second from its start. None
// when either cannot be read.
std::optional<programme_span> span_of(text_view start, text_view stop);

// A union of spans, as runs that neither overlap nor touch, kept in order:
// a channel's schedule is mostly one run, however many programmes it has,
// and one with gaps costs a run (16 bytes) a programme. Spans added in order
// of time extend the last run; others wait and are merged in batches, so
// that any order of adding stays O(log n) a span. One thread at a time uses
// a union: overlaps() may merge what waits.
class span_union {
public:
    void add(programme_span span);
    void add(const span_union& other);
    // The same, taking over `other`'s runs when this holds none yet.
    void add(span_union&& other);
    // Whether `span` overlaps a span added: each starts before the other
    // ends, so that touching spans do not.
    bool overlaps(programme_span span) const;
    bool empty() const { return runs_.empty() && waiting_.empty(); }
    std::size_t runs() const;

private:
    void merge_waiting() const;

    mutable std::vector<programme_span> runs_;
    mutable std::vector<programme_span> waiting_;
};

// Passes each programme the model attaches on to `next` (null: none, a dry
// run), and keeps the span of those whose times can be read, by channel
// position.
class span_recorder final : public program_store {
public:
    explicit span_recorder(program_store* next) : next_(next) {}

    void store(std::int32_t channel_index, const program_t& program) override;

    // The spans kept since the last call, by channel position; kept no more.
    std::vector<span_union> take() { return std::move(spans_); }

private:
    program_store* next_;
    std::vector<span_union> spans_;
};
