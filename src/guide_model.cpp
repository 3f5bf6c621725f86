#include "guide_model.hpp"

#include "trace.hpp"

#include <cstring>
#include <limits>

prg_file_t prg_file;
std::optional<program_t> current_program;

namespace {

constexpr std::uint32_t absent_length = std::numeric_limits<std::uint32_t>::max();
// A field longer than this keeps only its first bytes: the guide holds at most
// 65,535 bytes of a string anyway, and no listing comes near it.
constexpr std::size_t max_stored_length = absent_length - 1;

constexpr bool is_stored(std::size_t field) {
    return field != static_cast<std::size_t>(program_field::channel);
}

std::size_t stored_length(const text_field& field) {
    return field ? std::min(field->size(), max_stored_length) : 0;
}

} // namespace

stored_program::stored_program(const program_t& program, text_arena& arena) {
    constexpr std::size_t header = program_field_count * sizeof(std::uint32_t);
    std::size_t total = header;
    for (std::size_t f = 0; f < program_field_count; ++f)
        if (is_stored(f)) total += stored_length(program.fields[f]);

    char* data = arena.allocate(total);
    data_ = data;
    char* bytes = data + header;
    for (std::size_t f = 0; f < program_field_count; ++f) {
        const text_field& field = program.fields[f];
        std::uint32_t length = absent_length;
        if (is_stored(f) && field) {
            length = static_cast<std::uint32_t>(stored_length(field));
            std::memcpy(bytes, field->data(), length);
            bytes += length;
        }
        std::memcpy(data + f * sizeof length, &length, sizeof length);
    }
}

text_view stored_program::operator[](program_field wanted) const {
    const char* bytes = data_ + program_field_count * sizeof(std::uint32_t);
    const auto index = static_cast<std::size_t>(wanted);
    for (std::size_t f = 0;; ++f) {
        std::uint32_t length;
        std::memcpy(&length, data_ + f * sizeof length, sizeof length);
        if (f == index)
            return length == absent_length ? text_view{} : text_view{std::string_view(bytes, length)};
        if (length != absent_length) bytes += length;
    }
}

channel_t channel_new() { return channel_t{}; }

program_t program_new() { return program_t{}; }

void reset_guide_model() {
    prg_file = prg_file_t{};
    current_program.reset();
}

channel_t& add_channel() {
    prg_file.channels.push_back(channel_new());
    ++prg_file.nb_channels;
    return prg_file.channels.back();
}

void set_last_channel_id(std::string_view id) {
    channel_t* channel = last_channel();
    if (channel == nullptr) return;
    channel->id = std::string(id);
    prg_file.first_channel_by_id.try_emplace(std::string(id), prg_file.nb_channels - 1);
}

channel_t* last_channel() {
    return prg_file.nb_channels == 0 ? nullptr : &prg_file.channels.back();
}

namespace {

bool is_complete(const program_t& program) {
    return program[program_field::channel] && program[program_field::start] &&
           program[program_field::stop] && program[program_field::title];
}

channel_t* find_channel(std::string_view id) {
    const auto found = prg_file.first_channel_by_id.find(id);
    return found == prg_file.first_channel_by_id.end() ? nullptr
                                                        : &prg_file.channels[found->second];
}

} // namespace

void attach_current_program_to_channel() {
    std::optional<program_t> program;
    program.swap(current_program);
    if (!program) return;

    if (!is_complete(*program)) {
        trace_text("!!!!! programme incomplet !!!!!\n");
        return;
    }
    const std::string& id = *(*program)[program_field::channel];
    channel_t* channel = find_channel(id);
    if (channel == nullptr) {
        trace_text("!!!!! programme orphelin (chaine ");
        trace_text(id);
        trace_text(" non trouvee) !!!!!\n");
        return;
    }
    channel->programs.emplace_back(*program, prg_file.program_text);
    ++channel->nb_programs;
    trace_text("programme ");
    trace_number(channel->nb_programs);
    trace_text(" sur ");
    trace_text(*channel->id);
    trace_text("\n");
}
