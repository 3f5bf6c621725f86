// Everything known between reading the listing and writing the guide: the
// channels in listing order, each with the programmes attached to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text_arena.hpp"

// A string field: absent until the listing sets it; a present one may be empty.
using text_field = std::optional<std::string>;
using text_view = std::optional<std::string_view>;

// The twelve strings of a programme, in this order.
enum class program_field : std::uint8_t {
    start, stop, channel, title, subtitle, category,
    director, presenter, actor, date, desc, rating,
};
inline constexpr std::size_t program_field_count = 12;

// The programme being read, not yet attached to any channel.
struct program_t {
    std::array<text_field, program_field_count> fields;

    text_field& operator[](program_field f) { return fields[static_cast<std::size_t>(f)]; }
    const text_field& operator[](program_field f) const {
        return fields[static_cast<std::size_t>(f)];
    }
};

// An attached programme. A large listing holds hundreds of thousands of
// these, so each is packed in the model's arena, already in the form the
// guide file holds it (guide_record.hpp). Its channel is not kept: it is
// the id of the channel that holds it.
class stored_program {
public:
    // `scratch` is where the record is put together before it is stored.
    stored_program(const program_t& program, text_arena& arena, std::string& scratch);

    // The programme's record in the guide file.
    std::string_view record() const;

    // A field as the guide file holds it (transliterated, times cut to the
    // minute), or absent when the listing never set it. Every field but
    // `channel`.
    text_view operator[](program_field f) const;

private:
    const char* data_; // a bit per present field, then the record
};

struct channel_t {
    text_field id;
    text_field icon;
    text_field display_name;
    std::int32_t nb_programs = 0;
    std::vector<stored_program> programs;
};

struct prg_file_t {
    std::array<char, 4> magic{};
    std::array<char, 4> version{};
    std::array<char, 10> timestamp{};
    std::vector<channel_t> channels;
    std::int32_t nb_channels = 0;

    // Holds the text of every attached programme.
    text_arena program_text;
    std::string record_scratch;

    // First channel of each id, so that attaching a programme does not scan
    // every channel.
    struct id_hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::int32_t, id_hash, std::equal_to<>> first_channel_by_id;
};

extern prg_file_t prg_file;
extern std::optional<program_t> current_program;

channel_t channel_new();
program_t program_new();

// Empties the model: no channels, zero header, nothing pending.
void reset_guide_model();

// Appends an empty channel; it becomes the last channel.
channel_t& add_channel();
// Sets the id of the channel just added (an id never changes afterwards).
void set_last_channel_id(std::string_view id);
// The last channel added, or null while there is none.
channel_t* last_channel();

// Attaches the pending programme to the first channel with its id, or drops
// it with a trace line saying why. Nothing is pending afterwards.
void attach_current_program_to_channel();
