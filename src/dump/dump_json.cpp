#include "dump/dump_json.hpp"

#include "dump/dump_text.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace gf = guide_format;

namespace {

// Escaping is left to the JSON library.
std::string json_string(std::string_view latin1) {
    return nlohmann::json(latin1_to_utf8(latin1)).dump();
}

void append_member(std::string& out, std::string_view name, std::string_view json_value) {
    if (out.back() != '{') out += ',';
    out.append(json_string(name)).append(":").append(json_value);
}

// Closes the object begun in `line` with the array `name`: one element per
// line, each printed by print(element, index).
template <typename Element, typename Print>
void end_with_array(std::string& line, std::string_view name, const std::vector<Element>& elements,
                    std::FILE* out, Print print) {
    append_member(line, name, "[");
    put_text(out, line);
    for (std::size_t i = 0; i < elements.size(); ++i) {
        put_text(out, i == 0 ? "\n" : ",\n");
        print(elements[i], i);
    }
    put_text(out, "]}");
}

void print_programme(const guide_programme& programme, std::FILE* out) {
    std::string line = "{";
    for (std::size_t i = 0; i < gf::programme_string_count; ++i) {
        if (programme.strings[i].empty()) continue; // absent or empty: the file cannot tell
        append_member(line, gf::programme_string_names[i], json_string(programme.strings[i]));
    }
    line += '}';
    put_text(out, line);
}

void print_channel(const guide_channel& channel, std::size_t index, std::FILE* out) {
    std::string line = "{";
    append_member(line, "index", std::to_string(index));
    append_member(line, gf::channel_string_names[0], json_string(channel.icon));
    append_member(line, gf::channel_string_names[1], json_string(channel.display_name));
    end_with_array(line, "programmes", channel.programmes, out,
                   [&](const guide_programme& programme, std::size_t) { print_programme(programme, out); });
}

std::string header_members(const guide& content) {
    std::string line = "{";
    append_member(line, "magic", json_string(content.magic));
    append_member(line, "version", json_string(content.version));
    append_member(line, "timestamp", json_string(content.timestamp));
    const auto seconds = timestamp_seconds(content.timestamp);
    append_member(line, "time",
                  seconds ? json_string(format_utc(*seconds, "%Y-%m-%dT%H:%M:%SZ")) : "null");
    return line;
}

} // namespace

void print_guide_json(const guide& content, std::FILE* out) {
    std::string line = header_members(content);
    end_with_array(line, "channels", content.channels, out,
                   [&](const guide_channel& channel, std::size_t index) { print_channel(channel, index, out); });
    put_text(out, "\n");
}
