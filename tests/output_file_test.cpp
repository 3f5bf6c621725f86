#include "output_file.hpp"

#include "test_files.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// Bytes that differ from one position to the next, so that a lost or
// reordered piece shows.
std::string numbered_bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>(state >> 24);
    }
    return bytes;
}

TEST(OutputFile, SmallWritesAroundOneLargerThanTheBuffer) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    const std::string head = "head";
    const std::string big = numbered_bytes((3u << 20) + 7, 1);
    const std::string tail = "tail";
    output_file file(path);
    ASSERT_TRUE(file.is_open());
    file.write(head);
    file.write(big);
    file.write(tail);
    ASSERT_TRUE(file.close());
    EXPECT_TRUE(read_file(path) == head + big + tail);
}

TEST(OutputFile, ManySmallWrites) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    const std::string all = numbered_bytes(5u << 20, 2);
    output_file file(path);
    ASSERT_TRUE(file.is_open());
    std::size_t at = 0;
    for (std::size_t piece = 0; at < all.size(); ++piece) {
        const std::size_t size = std::min<std::size_t>(piece % 13, all.size() - at);
        file.write(all.data() + at, size);
        at += size;
    }
    ASSERT_TRUE(file.close());
    EXPECT_TRUE(read_file(path) == all);
}

TEST(OutputFile, TruncatesAnExistingFile) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    std::ofstream(path) << "a much longer earlier content";
    output_file file(path);
    ASSERT_TRUE(file.is_open());
    file.write("new");
    ASSERT_TRUE(file.close());
    EXPECT_EQ(read_file(path), "new");
}

TEST(OutputFile, ClosedWhenDestroyed) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    {
        output_file file(path);
        file.write("kept");
    }
    EXPECT_EQ(read_file(path), "kept");
}

TEST(OutputFile, CannotBeCreated) {
    temp_dir dir;
    output_file in_directory(dir / "");
    EXPECT_FALSE(in_directory.is_open());
    in_directory.write("x");
    EXPECT_FALSE(in_directory.close());

    output_file in_missing_folder(dir / "missing/out.bin");
    EXPECT_FALSE(in_missing_folder.is_open());
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(OutputFile, FullDeviceFailsOnClose) {
    output_file small("/dev/full");
    ASSERT_TRUE(small.is_open());
    small.write("x");
    EXPECT_FALSE(small.close());

    output_file big("/dev/full");
    ASSERT_TRUE(big.is_open());
    big.write(numbered_bytes(3u << 20, 3));
    big.write("after the failure");
    EXPECT_FALSE(big.close());
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// In a child whose files may not grow past `limit` bytes, writes `size` bytes
// in pieces of `piece` and returns what close() said (exit 1 for true, 0 for
// false).
int write_with_size_limit(const std::string& path, rlim_t limit, std::size_t size,
                          std::size_t piece) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        const rlimit rl{limit, limit};
        std::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(2);
        const std::string bytes = numbered_bytes(size, 4);
        output_file file(path);
        if (!file.is_open()) ::_exit(3);
        for (std::size_t at = 0; at < size; at += piece)
            file.write(bytes.data() + at, std::min(piece, size - at));
        ::_exit(file.close() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(OutputFile, RegularFileLeftIncompleteIsRemoved) {
    temp_dir dir;
    const std::string buffered = dir / "buffered.bin";
    EXPECT_EQ(write_with_size_limit(buffered, 64 << 10, 2u << 20, 100), 0);
    EXPECT_FALSE(fs::exists(buffered));

    const std::string direct = dir / "direct.bin";
    EXPECT_EQ(write_with_size_limit(direct, 64 << 10, 3u << 20, 3u << 20), 0);
    EXPECT_FALSE(fs::exists(direct));

    // Within the limit the same child keeps its file.
    const std::string fits = dir / "fits.bin";
    EXPECT_EQ(write_with_size_limit(fits, 4u << 20, 2u << 20, 100), 1);
    EXPECT_EQ(fs::file_size(fits), 2u << 20);
}

} // namespace
