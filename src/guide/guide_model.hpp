// Everything known between reading the listing and writing the guide: the
// channels in listing order and what was attached to each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/text.hpp"
#include "format/programme_fields.hpp"

// A programme: the pending one while it is read, and what an accepted one
// hands to the program store.
struct program_t {
    std::array<text_field, program_field_count> fields;

    text_field& operator[](program_field f) { return fields[static_cast<std::size_t>(f)]; }
    const text_field& operator[](program_field f) const {
        return fields[static_cast<std::size_t>(f)];
    }
};

// Takes each programme the model accepts, with the position of its channel.
// The model counts programmes; where they are kept is the store's business
// (record_store.hpp). A dry run has no store: nothing is kept.
class program_store {
public:
    virtual ~program_store() = default;
    virtual void store(std::int32_t channel_index, const program_t& program) = 0;
};

struct channel_t {
    text_field id;
    text_field icon;
    text_field display_name;
    std::int32_t nb_programs = 0;
};

// The guide file's header is not kept here: the writer makes it from the
// format and the run's time stamp.
struct prg_file_t {
    std::vector<channel_t> channels;
    std::int32_t nb_channels = 0;
    // Programmes attach_current_program_to_channel dropped, by reason.
    std::int64_t nb_orphans = 0;
    std::int64_t nb_incomplete = 0;

private:
    // First channel of each id, so that attaching a programme does not scan
    // every channel. Kept by set_last_channel_id alone.
    std::unordered_map<std::string, std::int32_t, id_hash, std::equal_to<>> first_channel_by_id_;
    program_store* store_ = nullptr;

    friend void set_last_channel_id(std::string_view id);
    friend void keep_programs_in(program_store* store);
    friend void attach_current_program_to_channel();
};

extern prg_file_t prg_file;
extern std::optional<program_t> current_program;

channel_t channel_new();
program_t program_new();

// Empties the model: no channels, nothing pending, no store.
void reset_guide_model();

// Where accepted programmes go from now on (null: nowhere, a dry run).
void keep_programs_in(program_store* store);

// Appends an empty channel; it becomes the last channel.
channel_t& add_channel();
// Sets the id of the channel just added (an id never changes afterwards).
void set_last_channel_id(std::string_view id);
// The last channel added, or null while there is none.
channel_t* last_channel();

// How many programmes the channels hold in all.
std::int64_t programmes_attached();

// Attaches the pending programme to the first channel with its id, or drops
// it with a trace line saying why. Nothing is pending afterwards.
void attach_current_program_to_channel();
