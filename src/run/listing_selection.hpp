// What the options leave out of the listings (--channels, --from, --until,
// --days), the run's "now", and what is said about the selection afterwards.
#pragma once

#include "run/run_options.hpp"
#include "listing/listing_filter.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// SOURCE_DATE_EPOCH, when set, is the run's "now" and the guide's time
// stamp. False, after saying so, when its value is not a count of seconds.
bool find_fixed_time(std::optional<std::chrono::sys_seconds>& fixed);

// Sets up the filter the options ask for; "now" is `fixed`, or else the
// clock. False, after saying so, when a time or the channels file cannot be
// read: nothing has been read then.
bool set_up_filter(const run_options& options, std::optional<std::chrono::sys_seconds> fixed,
                   listing_filter& filter);

// After reading: false, after saying so, when a channel selection matched no
// channel at all, and the guide must stay as it was.
bool any_channel_selected(const run_options& options, const listing_filter& filter);

// With a channels file, the model positions of the channels in the guide's
// order: those a line matches stand at that line's place, in listing order
// among themselves, a channel matching several lines at the first. Without
// one, none: the model's order.
std::optional<std::vector<std::int32_t>> guide_channel_order(const listing_filter& filter);

// One warning line naming the lines of the channels file that matched no
// channel, when some did and some did not.
void report_unmatched_lines(const run_options& options, const listing_filter& filter);
