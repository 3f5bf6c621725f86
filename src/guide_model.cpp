#include "guide_model.hpp"

#include "guide_record.hpp"
#include "trace.hpp"

#include <cstring>

prg_file_t prg_file;
std::optional<program_t> current_program;

namespace {

using presence_mask = std::uint16_t;
static_assert(guide_format::programme_string_count <= 16);

presence_mask present_fields(const program_t& program) {
    presence_mask mask = 0;
    for (std::size_t i = 0; i < guide_format::programme_string_count; ++i)
        if (program[model_field(static_cast<guide_format::programme_string>(i))])
            mask = static_cast<presence_mask>(mask | (1u << i));
    return mask;
}

// A big field's scratch is not kept once its programme is stored.
constexpr std::size_t kept_scratch_capacity = std::size_t{1} << 20;

} // namespace

stored_program::stored_program(const program_t& program, text_arena& arena, std::string& scratch) {
    scratch.clear();
    const presence_mask mask = present_fields(program);
    scratch.append(reinterpret_cast<const char*>(&mask), sizeof mask);
    append_program_record(scratch, program);
    char* data = arena.allocate(scratch.size());
    std::memcpy(data, scratch.data(), scratch.size());
    data_ = data;
    if (scratch.capacity() > kept_scratch_capacity) std::string().swap(scratch);
}

std::string_view stored_program::record() const {
    const char* record = data_ + sizeof(presence_mask);
    return {record, program_record_size(record)};
}

text_view stored_program::operator[](program_field wanted) const {
    presence_mask mask;
    std::memcpy(&mask, data_, sizeof mask);
    for (std::size_t i = 0; i < guide_format::programme_string_count; ++i) {
        const auto string = static_cast<guide_format::programme_string>(i);
        if (model_field(string) != wanted) continue;
        if ((mask & (1u << i)) == 0) return std::nullopt;
        return program_record_string(data_ + sizeof mask, string);
    }
    return std::nullopt; // the channel: not kept
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
    channel->programs.emplace_back(*program, prg_file.program_text, prg_file.record_scratch);
    ++channel->nb_programs;
    trace_text("programme ");
    trace_number(channel->nb_programs);
    trace_text(" sur ");
    trace_text(*channel->id);
    trace_text("\n");
}
