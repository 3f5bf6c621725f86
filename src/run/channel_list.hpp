// The channels file of --channels: one channel id or pattern a line.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The ids and patterns of a channels file's text: each line trimmed of
// white space, blank lines and lines starting with '#' skipped, a UTF-8 byte
// order mark before the first line ignored.
std::vector<std::string> channel_lines(std::string_view text);

// The lines of the file at `path`; nullopt, after saying why on standard
// error, when it cannot be read.
std::optional<std::vector<std::string>> read_channel_list(const char* path);
