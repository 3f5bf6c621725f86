// Bytes kept until the model is dropped, handed out from large blocks: the
// hundreds of thousands of programmes of a big listing then cost a few
// hundred allocations, lie next to each other, and are freed at once.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class text_arena {
public:
    // `size` bytes that stay valid as long as the arena.
    char* allocate(std::size_t size);

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};
