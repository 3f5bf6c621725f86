// Several listings read into one guide.
#pragma once

#include "listing/listing_filter.hpp"
#include "listing/reader.hpp"

#include <vector>

// Reads the listings one after the other into the model, each as it would be
// read alone, through `filter`; a channel whose id an earlier listing
// declared is left out, so that its programmes join the earlier channel.
// Complete when every listing was read to its end; any node when any
// listing gave one.
listing_read read_listings(const std::vector<const char*>& paths, listing_filter& filter);
