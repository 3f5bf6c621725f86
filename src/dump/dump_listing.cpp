#include "dump/dump_listing.hpp"

#include "dump/dump_text.hpp"

#include <string>

namespace gf = guide_format;

namespace {

// "<indent><label>: <value>\n", or "<indent><label>:\n" for an empty value.
void put_value(std::FILE* out, std::string_view indent, std::string_view label,
               std::string_view value) {
    std::string line(indent);
    line.append(label).append(":");
    if (!value.empty()) line.append(" ").append(value);
    line += '\n';
    put_text(out, line);
}

std::string programme_time(std::string_view stamp) {
    if (auto date = format_programme_time(stamp)) return *date;
    return display_text(stamp);
}

void print_programme(const guide_programme& programme, std::size_t index, std::FILE* out) {
    put_text(out, "  programme " + std::to_string(index) + "\n");
    for (std::size_t i = 0; i < gf::programme_string_count; ++i) {
        const std::string_view value = programme.strings[i];
        if (value.empty()) continue; // absent or empty: the file cannot tell them apart
        const bool is_time = i == record_position(program_field::start) || i == record_position(program_field::stop);
        put_value(out, "    ", gf::programme_string_names[i],
                  is_time ? programme_time(value) : display_text(value));
    }
}

void print_channel(const guide_channel& channel, std::size_t index, std::FILE* out) {
    put_text(out, "\nchannel " + std::to_string(index) + "\n");
    put_value(out, "  ", gf::channel_string_names[0], display_text(channel.icon));
    put_value(out, "  ", gf::channel_string_names[1], display_text(channel.display_name));
    put_value(out, "  ", "programmes", std::to_string(channel.programmes.size()));
    for (std::size_t i = 0; i < channel.programmes.size(); ++i)
        print_programme(channel.programmes[i], i, out);
}

} // namespace

void print_guide_listing(const guide& content, std::FILE* out) {
    put_value(out, "", "magic", display_text(content.magic));
    put_value(out, "", "version", display_text(content.version));
    put_value(out, "", "time stamp", describe_time_stamp(content.timestamp));
    put_value(out, "", "channels", std::to_string(content.channels.size()));
    for (std::size_t i = 0; i < content.channels.size(); ++i)
        print_channel(content.channels[i], i, out);
}
