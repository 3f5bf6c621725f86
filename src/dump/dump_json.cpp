#include "dump/dump_json.hpp"

#include "dump/dump_text.hpp"

#include <nlohmann/json.hpp>

#include <string>

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

void put(std::FILE* out, std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); }

void print_programme(const guide_programme& programme, std::string& line, std::FILE* out) {
    line.assign(1, '{');
    for (std::size_t i = 0; i < gf::programme_string_count; ++i) {
        if (programme.strings[i].empty()) continue; // absent or empty: the file cannot tell
        append_member(line, gf::programme_string_names[i], json_string(programme.strings[i]));
    }
    line += '}';
    put(out, line);
}

void print_channel(const guide_channel& channel, std::size_t index, std::FILE* out) {
    std::string line = "{";
    append_member(line, "index", std::to_string(index));
    append_member(line, gf::channel_string_names[0], json_string(channel.icon));
    append_member(line, gf::channel_string_names[1], json_string(channel.display_name));
    append_member(line, "programmes", "[");
    put(out, line);
    for (std::size_t i = 0; i < channel.programmes.size(); ++i) {
        put(out, i == 0 ? "\n" : ",\n");
        print_programme(channel.programmes[i], line, out);
    }
    put(out, "]}");
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
    append_member(line, "channels", "[");
    put(out, line);
    for (std::size_t i = 0; i < content.channels.size(); ++i) {
        put(out, i == 0 ? "\n" : ",\n");
        print_channel(content.channels[i], i, out);
    }
    put(out, "]}\n");
}
