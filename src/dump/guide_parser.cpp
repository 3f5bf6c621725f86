#include "dump/guide_parser.hpp"

#include "dump/dump_text.hpp"

#include <cstdint>

namespace gf = guide_format;

namespace {

// Names the field being read. Only formatted when something is wrong, so that
// a valid guide costs no string building.
struct place {
    std::string_view field;
    std::int64_t channel = -1;
    std::int64_t programme = -1;
};

std::string describe(const place& at) {
    std::string text(at.field);
    if (at.programme >= 0) text += " of programme " + std::to_string(at.programme);
    if (at.channel >= 0) text += " of channel " + std::to_string(at.channel);
    return text;
}

std::string bytes_left(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " byte left" : " bytes left");
}

// Bytes shown in a message: printable ASCII as is, anything else as \xNN.
std::string printable(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
            text += c;
        } else {
            append_hex_escape(byte, text);
        }
    }
    return text;
}

class cursor {
public:
    explicit cursor(std::string_view bytes) : bytes_(bytes) {}

    std::size_t offset() const { return pos_; }
    std::size_t left() const { return bytes_.size() - pos_; }

    std::string_view take(std::size_t size, const place& at) {
        if (size > left())
            throw guide_error(pos_, "truncated file: " + describe(at) + " needs " +
                                        std::to_string(size) + " bytes, " + bytes_left(left()));
        const std::string_view field = bytes_.substr(pos_, size);
        pos_ += size;
        return field;
    }

    std::string_view string(const place& at) {
        const std::size_t start = pos_;
        const std::size_t length = gf::decode_u16(bytes(take(gf::string_length_size, at)));
        if (length > left())
            throw guide_error(start, describe(at) + ": length " + std::to_string(length) +
                                         " runs past the end of the file (" +
                                         bytes_left(left()) + ")");
        return take(length, at);
    }

    // A record count, checked against the smallest size of its records.
    std::size_t count(const place& at, std::size_t min_record_size) {
        const std::size_t start = pos_;
        const std::int32_t value = gf::decode_i32(bytes(take(gf::count_size, at)));
        if (value < 0)
            throw guide_error(start, describe(at) + " is negative (" + std::to_string(value) + ")");
        const auto count = static_cast<std::size_t>(value);
        if (count > left() / min_record_size)
            throw guide_error(start, describe(at) + " is " + std::to_string(count) +
                                         ": needs at least " +
                                         std::to_string(count * min_record_size) + " bytes, " +
                                         bytes_left(left()));
        return count;
    }

private:
    static const unsigned char* bytes(std::string_view field) {
        return reinterpret_cast<const unsigned char*>(field.data());
    }

    std::string_view bytes_;
    std::size_t pos_ = 0;
};

void check_magic(std::string_view bytes) {
    const std::string_view found = bytes.substr(0, gf::magic.size());
    if (found == gf::magic.substr(0, found.size())) return; // a short file fails as truncated
    throw guide_error(gf::magic_offset, "wrong magic \"" + printable(found) + "\", expected \"" +
                                            std::string(gf::magic) + "\"");
}

guide_programme read_programme(cursor& in, std::int64_t channel, std::int64_t index) {
    guide_programme programme;
    for (std::size_t i = 0; i < gf::programme_string_count; ++i)
        programme.strings[i] = in.string({gf::programme_string_names[i], channel, index});
    return programme;
}

guide_channel read_channel(cursor& in, std::int64_t index) {
    guide_channel channel;
    channel.icon = in.string({gf::channel_string_names[0], index});
    channel.display_name = in.string({gf::channel_string_names[1], index});
    const std::size_t nb_programs = in.count({"programme count", index}, gf::min_programme_size);
    channel.programmes.reserve(nb_programs);
    for (std::size_t i = 0; i < nb_programs; ++i)
        channel.programmes.push_back(read_programme(in, index, static_cast<std::int64_t>(i)));
    return channel;
}

void check_end(const cursor& in) {
    if (in.left() == 0) return;
    throw guide_error(in.offset(), std::to_string(in.left()) +
                                       (in.left() == 1 ? " byte" : " bytes") +
                                       " after the last channel");
}

} // namespace

guide_error::guide_error(std::size_t offset, const std::string& message)
    : std::runtime_error("offset " + std::to_string(offset) + ": " + message), offset_(offset) {}

guide parse_guide(std::string_view bytes) {
    check_magic(bytes);
    cursor in(bytes);
    guide result;
    result.magic = in.take(gf::magic.size(), {"magic"});
    result.version = in.take(gf::version.size(), {"version"});
    result.timestamp = in.take(gf::timestamp_digits, {"time stamp"});
    const std::size_t nb_channels = in.count({"channel count"}, gf::min_channel_size);
    result.channels.reserve(nb_channels);
    for (std::size_t i = 0; i < nb_channels; ++i)
        result.channels.push_back(read_channel(in, static_cast<std::int64_t>(i)));
    check_end(in);
    return result;
}
