#include "guide/guide_model.hpp"

#include "common/trace.hpp"

prg_file_t prg_file;
std::optional<program_t> current_program;

channel_t channel_new() { return channel_t{}; }

program_t program_new() { return program_t{}; }

void reset_guide_model() {
    prg_file = prg_file_t{};
    current_program.reset();
}

void keep_programs_in(program_store* store) { prg_file.store_ = store; }

channel_t& add_channel() {
    prg_file.channels.push_back(channel_new());
    ++prg_file.nb_channels;
    return prg_file.channels.back();
}

void set_last_channel_id(std::string_view id) {
    channel_t* channel = last_channel();
    if (channel == nullptr) return;
    channel->id = std::string(id);
    prg_file.first_channel_by_id_.try_emplace(std::string(id), prg_file.nb_channels - 1);
}

channel_t* last_channel() {
    return prg_file.nb_channels == 0 ? nullptr : &prg_file.channels.back();
}

std::int64_t programmes_attached() {
    std::int64_t programmes = 0;
    for (const channel_t& channel : prg_file.channels) programmes += channel.nb_programs;
    return programmes;
}

namespace {

bool is_complete(const program_t& program) {
    return program[program_field::channel] && program[program_field::start] &&
           program[program_field::stop] && program[program_field::title];
}

} // namespace

void attach_current_program_to_channel() {
    std::optional<program_t> program;
    program.swap(current_program);
    if (!program) return;

    if (!is_complete(*program)) {
        ++prg_file.nb_incomplete;
        trace_text("!!!!! programme incomplet !!!!!\n");
        return;
    }
    const std::string& id = *(*program)[program_field::channel];
    const auto found = prg_file.first_channel_by_id_.find(id);
    if (found == prg_file.first_channel_by_id_.end()) {
        ++prg_file.nb_orphans;
        trace_text("!!!!! programme orphelin (chaine ");
        trace_text(id);
        trace_text(" non trouvee) !!!!!\n");
        return;
    }
    channel_t& channel = prg_file.channels[static_cast<std::size_t>(found->second)];
    if (prg_file.store_ != nullptr) prg_file.store_->store(found->second, *program);
    ++channel.nb_programs;
    trace_text("programme ");
    trace_number(channel.nb_programs);
    trace_text(" sur ");
    trace_text(*channel.id);
    trace_text("\n");
}
