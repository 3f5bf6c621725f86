#include "run/listing_selection.hpp"

#include "run/channel_list.hpp"
#include "run/time_bound.hpp"
#include "guide/guide_model.hpp"

#include <cstdio>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>

using namespace std::chrono;

namespace {

bool read_bound(const std::optional<std::string>& text, const char* option, sys_seconds now,
                std::optional<sys_seconds>& bound) {
    if (!text) return true;
    bound = read_time_bound(*text, now);
    if (bound) return true;
    std::fprintf(stderr,
                 "guidepack: --%s: '%s' is not a time (YYYYMMDDhhmm[ss] [+hhmm], now, now+Nd, now-Nh, now+Nm)\n",
                 option, text->c_str());
    return false;
}

} // namespace

bool find_fixed_time(std::optional<sys_seconds>& fixed) {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr) return true;
    fixed = read_epoch_seconds(value);
    if (fixed) return true;
    std::fprintf(stderr, "guidepack: SOURCE_DATE_EPOCH is not a count of seconds since 1970: '%s'\n", value);
    return false;
}

bool set_up_filter(const run_options& options, std::optional<sys_seconds> fixed, listing_filter& filter) {
    const sys_seconds now = fixed.value_or(floor<seconds>(system_clock::now()));
    if (!read_bound(options.from, "from", now, filter.window.from) ||
        !read_bound(options.until, "until", now, filter.window.until))
        return false;
    if (options.channels == nullptr) return true;
    std::optional<std::vector<std::string>> lines = read_channel_list(options.channels);
    if (!lines) return false;
    filter.selection.emplace(std::move(*lines));
    return true;
}

bool any_channel_selected(const run_options& options, const listing_filter& filter) {
    if (!filter.selection || filter.selection->any_line_matched()) return true;
    std::fprintf(stderr, "guidepack: no channel of the listings matches a line of %s", options.channels);
    if (options.guide != nullptr) std::fprintf(stderr, ": %s is left as it was", options.guide);
    std::fputs("\n", stderr);
    return false;
}

std::optional<std::vector<std::int32_t>> guide_channel_order(const listing_filter& filter) {
    if (!filter.selection) return std::nullopt;
    std::vector<std::size_t> line_of;
    for (const channel_t& channel : prg_file.channels)
        line_of.push_back(channel.id ? filter.selection->first_line_matching(*channel.id) : SIZE_MAX);
    std::vector<std::int32_t> order(line_of.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&line_of](std::int32_t a, std::int32_t b) {
        return line_of[static_cast<std::size_t>(a)] < line_of[static_cast<std::size_t>(b)];
    });
    return order;
}

void report_unmatched_lines(const run_options& options, const listing_filter& filter) {
    if (!filter.selection || !filter.selection->any_line_matched()) return;
    const std::vector<std::string_view> unmatched = filter.selection->unmatched_lines();
    if (unmatched.empty()) return;
    std::string line = "guidepack: warning: no channel matches these lines of ";
    line += options.channels;
    line += ":";
    for (const std::string_view pattern : unmatched) {
        line += " '";
        line += pattern;
        line += "'";
    }
    line += "\n";
    std::fputs(line.c_str(), stderr);
}
