// Bytes kept until the model is dropped, handed out from large blocks: the
// hundreds of thousands of programmes of a big listing then cost a few
// dozen allocations, lie next to each other, and are freed at once.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class text_arena {
public:
    // `size` bytes that stay valid as long as the arena.
    char* allocate(std::size_t size);

    static constexpr std::size_t first_block_size = std::size_t{1} << 20;
    static constexpr std::size_t largest_block_size = std::size_t{32} << 20;

private:
    struct unmap {
        std::size_t size;
        void operator()(char* bytes) const noexcept;
    };
    using block = std::unique_ptr<char, unmap>;

    char* add_block(std::size_t size);

    std::vector<block> blocks_;
    std::size_t next_block_size_ = first_block_size;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};
