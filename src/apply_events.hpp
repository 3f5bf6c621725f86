// The model's side of the walk: each event of a block, in order, changes the
// model and prints its trace, as the node it stands for.
#pragma once

#include "listing_events.hpp"

// `path` names the listing in messages.
void apply_events(const event_block& block, const char* path);
