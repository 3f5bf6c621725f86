// The applying side of the walk, the one owner of the reading state: each
// event of a block, in order, changes the model and prints its trace, as the
// node it stands for. It decides the pending programme's fate, up to the
// attachment at the listing's end.
#pragma once

#include "listing/listing_events.hpp"

#include <string>

// Name of the most recent element start; text nodes belong to it.
extern std::string element_name;

// `path` names the listing in messages.
void apply_events(const event_block& block, const char* path);

// Whether the model holds a channel, for the walk to know whether an icon
// goes anywhere. Asked only while no events are being applied.
bool model_has_channel();
