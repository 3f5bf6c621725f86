#include "text_arena.hpp"

namespace {
constexpr std::size_t block_size = 1 << 20;
}

char* text_arena::allocate(std::size_t size) {
    if (size > left_) {
        // A request too big for a block gets one of its own, so that the
        // current block is not abandoned half-used.
        if (size > block_size / 4) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
            return blocks_.back().get();
        }
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_size));
        next_ = blocks_.back().get();
        left_ = block_size;
    }
    char* bytes = next_;
    next_ += size;
    left_ -= size;
    return bytes;
}
