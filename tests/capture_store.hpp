// A program store for tests: keeps every programme the model accepts, as
// it was read, with the position of its channel.
#pragma once

#include "guide/guide_model.hpp"

#include <cstdint>
#include <vector>

struct kept_program {
    std::int32_t channel;
    program_t program;
};

class capture_store : public program_store {
public:
    void store(std::int32_t channel_index, const program_t& program) override {
        kept.push_back({channel_index, program});
    }

    // The programmes of one channel, in order of attachment.
    std::vector<program_t> programs_of(std::int32_t channel) const {
        std::vector<program_t> programs;
        for (const kept_program& k : kept)
            if (k.channel == channel) programs.push_back(k.program);
        return programs;
    }

    std::vector<kept_program> kept;
};
