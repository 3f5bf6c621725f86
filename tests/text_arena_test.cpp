#include "text_arena.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct piece {
    char* bytes;
    std::size_t size;
    char fill;
};

// Fills every piece with its own byte, then checks each still holds it: a
// piece that overlaps another, or lies in freed memory, shows.
void expect_intact(const std::vector<piece>& pieces) {
    for (const piece& p : pieces) std::memset(p.bytes, p.fill, p.size);
    for (const piece& p : pieces)
        ASSERT_EQ(std::string_view(p.bytes, p.size), std::string(p.size, p.fill));
}

TEST(TextArena, PiecesOfEverySizeStayApartAcrossBlocks) {
    text_arena arena;
    std::vector<piece> pieces;
    // Enough to fill several blocks, with sizes from 1 byte to whole blocks.
    const std::size_t sizes[] = {1, 48, 531, 4096, 70'000, text_arena::first_block_size / 4 + 1,
                                 text_arena::first_block_size, text_arena::largest_block_size};
    std::size_t total = 0;
    for (int round = 0; total < 3 * text_arena::largest_block_size; ++round) {
        for (std::size_t size : sizes) {
            pieces.push_back({arena.allocate(size), size, static_cast<char>('a' + round % 26)});
            total += size;
        }
    }
    expect_intact(pieces);
}

TEST(TextArena, ALargeRequestLeavesTheCurrentBlockInUse) {
    text_arena arena;
    char* first = arena.allocate(100);
    arena.allocate(text_arena::first_block_size);
    char* next = arena.allocate(100);
    EXPECT_EQ(next, first + 100);
}

TEST(TextArena, BlocksAfterTheFirstStartOnAHugePageBoundary) {
    // Huge pages are what keeps a big model cheap to fill; they need blocks
    // aligned on 2 MiB.
    constexpr std::uintptr_t huge_page = 2u << 20;
    text_arena arena;
    char* previous = arena.allocate(1024);
    int new_blocks = 0;
    for (std::size_t used = 1024; used < 6 * text_arena::first_block_size; used += 1024) {
        char* bytes = arena.allocate(1024);
        if (bytes != previous + 1024) {
            ++new_blocks;
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % huge_page, 0u);
        }
        previous = bytes;
    }
    EXPECT_GE(new_blocks, 2);
}

// Bytes mapped into this process, from /proc/self/maps.
std::size_t mapped_bytes() {
    std::ifstream maps("/proc/self/maps");
    std::size_t total = 0;
    std::string line;
    while (std::getline(maps, line)) {
        std::uintptr_t start = 0;
        std::uintptr_t end = 0;
        char dash = 0;
        std::istringstream range(line);
        range >> std::hex >> start >> dash >> end;
        total += end - start;
    }
    return total;
}

TEST(TextArena, EveryBlockIsGivenBackWhole) {
    // Sizes that are no multiple of a page, for blocks with and without
    // huge pages.
    const std::size_t before = mapped_bytes();
    {
        text_arena arena;
        for (int i = 0; i < 10; ++i) arena.allocate(3'000'001);
        for (int i = 0; i < 10; ++i) arena.allocate(text_arena::first_block_size / 2 + 1);
        for (int i = 0; i < 10'000; ++i) arena.allocate(1001);
    }
    EXPECT_LT(mapped_bytes(), before + (std::size_t{1} << 20));
}

} // namespace
