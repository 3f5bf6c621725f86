// Several listings read into one guide.
#pragma once

#include "listing/listing_filter.hpp"
#include "guide/guide_model.hpp"
#include "guide/programme_spans.hpp"
#include "listing/reader.hpp"

#include <cstdint>
#include <vector>

struct listings_read {
    bool complete = true;         // every listing read to its end
    std::int64_t with_nodes = 0; // listings that gave at least one node
};

// What joins listings read one after the other into one guide, around the
// reading of each: the ids a listing declared and the spans of what it
// attached are what the filter judges the next listings by.
class listing_sequence {
public:
    // `count` listings, read through `filter`, the programmes attached going
    // to `records` (null: nowhere).
    listing_sequence(std::size_t count, listing_filter& filter, program_store* records);

    // Before reading the listing at `index`, and after it.
    void before(std::size_t index);
    void after(std::size_t index);

private:
    std::size_t count_;
    listing_filter& filter_;
    program_store* records_;
    span_recorder recorder_;
};

// Reads the listings one after the other into the model, each as it would be
// read alone, through `filter`, the programmes attached going to `records`
// (null: nowhere). A channel whose id an earlier listing declared is left
// out, so that its programmes join the earlier channel, and so is a
// programme overlapping one an earlier listing attached to its channel.
listings_read read_listings(const std::vector<const char*>& paths, const reading_plan& plan, listing_filter& filter,
                            program_store* records);
