// Which channels a run keeps: the lines of a channels file, each a channel id
// or a pattern with *, ? and [...] as fnmatch(3) matches, case-sensitive.
#pragma once

#include "common/text.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class channel_selection {
public:
    explicit channel_selection(std::vector<std::string> lines);

    // Whether a programme of channel `id` is kept.
    bool selects(std::string_view id) { return verdict_for(id).selected; }
    // The same for a channel element's id; the lines it matches have matched
    // a channel.
    bool selects_channel(std::string_view id);

    // The position of the first line `id` matches in the file; the count of
    // lines when it matches none.
    std::size_t first_line_matching(std::string_view id) const;

    // The lines that matched no channel element, in the file's order.
    std::vector<std::string_view> unmatched_lines() const;
    bool any_line_matched() const;

private:
    struct verdict {
        bool selected = false;
        bool seen_as_channel = false;
    };

    // The verdict on an id, remembered: a listing names each channel once
    // per programme, and matching every line each time would cost more than
    // reading the programme.
    verdict& verdict_for(std::string_view id);
    // Matches `id` against every line; marks those that match when `mark`.
    bool match_lines(const std::string& id, bool mark);

    std::vector<std::string> lines_;
    std::vector<bool> line_matched_;
    std::unordered_map<std::string, verdict, id_hash, std::equal_to<>> verdicts_;
    verdict uncached_;
};
