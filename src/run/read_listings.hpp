// Several listings read into one guide.
#pragma once

#include "listing/listing_filter.hpp"
#include "guide/guide_model.hpp"
#include "listing/reader.hpp"

#include <cstdint>
#include <vector>

struct listings_read {
    bool complete = true;         // every listing read to its end
    std::int64_t with_nodes = 0; // listings that gave at least one node
};

// Reads the listings one after the other into the model, each as it would be
// read alone, through `filter`, the programmes attached going to `records`
// (null: nowhere). A channel whose id an earlier listing declared is left
// out, so that its programmes join the earlier channel, and so is a
// programme overlapping one an earlier listing attached to its channel.
listings_read read_listings(const std::vector<const char*>& paths, const reading_plan& plan, listing_filter& filter,
                            program_store* records);
