#include "listing/channel_selection.hpp"

#include <fnmatch.h>

namespace {

// A listing naming more channels than this is not a listing of channels:
// past it, verdicts are worked out each time rather than kept.
constexpr std::size_t max_remembered_ids = std::size_t{1} << 16;

} // namespace

channel_selection::channel_selection(std::vector<std::string> lines)
    : lines_(std::move(lines)), line_matched_(lines_.size(), false) {}

bool channel_selection::match_lines(const std::string& id, bool mark) {
    bool any = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (::fnmatch(lines_[i].c_str(), id.c_str(), 0) != 0) continue;
        any = true;
        if (!mark) break;
        line_matched_[i] = true;
    }
    return any;
}

channel_selection::verdict& channel_selection::verdict_for(std::string_view id) {
    if (const auto found = verdicts_.find(id); found != verdicts_.end()) return found->second;
    std::string key(id);
    const bool selected = match_lines(key, false);
    if (verdicts_.size() >= max_remembered_ids) {
        uncached_ = {selected, false};
        return uncached_;
    }
    return verdicts_.try_emplace(std::move(key), verdict{selected, false}).first->second;
}

bool channel_selection::selects_channel(std::string_view id) {
    verdict& found = verdict_for(id);
    if (found.selected && !found.seen_as_channel) {
        match_lines(std::string(id), true);
        found.seen_as_channel = true;
    }
    return found.selected;
}

std::size_t channel_selection::first_line_matching(std::string_view id) const {
    const std::string key(id);
    std::size_t line = 0;
    while (line < lines_.size() && ::fnmatch(lines_[line].c_str(), key.c_str(), 0) != 0) ++line;
    return line;
}

std::vector<std::string_view> channel_selection::unmatched_lines() const {
    std::vector<std::string_view> unmatched;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (!line_matched_[i]) unmatched.emplace_back(lines_[i]);
    return unmatched;
}

bool channel_selection::any_line_matched() const {
    for (const bool matched : line_matched_)
        if (matched) return true;
    return false;
}
