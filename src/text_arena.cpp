#include "text_arena.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::size_t huge_page_size = std::size_t{2} << 20;

std::size_t page_size() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

std::size_t round_up(std::size_t size, std::size_t multiple) {
    return (size + multiple - 1) / multiple * multiple;
}

// Maps `size` zeroed bytes (whole pages), starting on a huge-page boundary when the block
// can hold huge pages. Each fresh 4 KiB page costs a fault, and on a virtual
// machine a dear one: a 200 MB listing's model touches 25,000 of them, which
// took more time than everything guidepack adds to libxml2's own walk.
char* map_bytes(std::size_t size) {
    const bool huge = size >= huge_page_size;
    const std::size_t mapped = huge ? size + huge_page_size : size;
    void* start = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) throw std::bad_alloc();
    char* bytes = static_cast<char*>(start);
    if (!huge) return bytes;

    // Give back what lies before the boundary and after the block.
    const auto address = reinterpret_cast<std::uintptr_t>(bytes);
    const std::size_t head = (huge_page_size - address % huge_page_size) % huge_page_size;
    if (head > 0) ::munmap(bytes, head);
    if (head < huge_page_size) ::munmap(bytes + head + size, huge_page_size - head);
    bytes += head;
    // Only a hint: where huge pages are off this fails and nothing changes.
    ::madvise(bytes, size, MADV_HUGEPAGE);
    return bytes;
}

} // namespace

void text_arena::unmap::operator()(char* bytes) const noexcept { ::munmap(bytes, size); }

char* text_arena::add_block(std::size_t size) {
    // Room first, so that a mapped block is never lost.
    if (blocks_.size() == blocks_.capacity()) blocks_.reserve(std::max<std::size_t>(8, 2 * blocks_.size()));
    // Whole pages, so that the tail given back and the block's own unmapping
    // start on page boundaries.
    const std::size_t mapped = round_up(size, page_size());
    blocks_.emplace_back(map_bytes(mapped), unmap{mapped});
    return blocks_.back().get();
}

char* text_arena::allocate(std::size_t size) {
    if (size > left_) {
        // A request too big for a block gets one of its own, so that the
        // current block is not abandoned half-used.
        if (size > next_block_size_ / 4) return add_block(size);
        next_ = add_block(next_block_size_);
        left_ = next_block_size_;
        // Blocks grow so that a small listing stays small and a big one
        // needs few of them.
        next_block_size_ = std::min(next_block_size_ * 2, largest_block_size);
    }
    char* bytes = next_;
    next_ += size;
    left_ -= size;
    return bytes;
}
