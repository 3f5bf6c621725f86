// A guide is written through a large buffer and replaces the old one whole or
// not at all, whatever stops the writing.
#include "replace/guide_file.hpp"

#include "test_files.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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

void put(guide_file& file, const std::string& bytes) { file.out().write(bytes.data(), bytes.size()); }

bool write_guide(const std::string& path, const std::string& bytes) {
    guide_file file(path);
    put(file, bytes);
    return file.commit();
}

// The names in a folder: a temporary file left behind shows here.
std::vector<std::string> names_in(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

using names = std::vector<std::string>;

TEST(GuideFile, SmallWritesAroundOneLargerThanTheBuffer) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    const std::string head = "head";
    const std::string big = numbered_bytes((3u << 20) + 7, 1);
    const std::string tail = "tail";
    guide_file file(path);
    ASSERT_TRUE(file.is_open());
    put(file, head);
    put(file, big);
    put(file, tail);
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(read_file(path) == head + big + tail);
}

TEST(GuideFile, ManySmallWrites) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    const std::string all = numbered_bytes(5u << 20, 2);
    guide_file file(path);
    ASSERT_TRUE(file.is_open());
    std::size_t at = 0;
    for (std::size_t piece = 0; at < all.size(); ++piece) {
        const std::size_t size = std::min<std::size_t>(piece % 13, all.size() - at);
        file.out().write(all.data() + at, size);
        at += size;
    }
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(read_file(path) == all);
}

TEST(GuideFile, ReplacesAnExistingGuideAndLeavesNothingBeside) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    write_file(path, "a much longer earlier content");
    ASSERT_TRUE(write_guide(path, "new"));
    EXPECT_EQ(read_file(path), "new");
    EXPECT_EQ(names_in(dir.path()), names{"out.bin"});
}

TEST(GuideFile, NotCommittedLeavesTheOldGuide) {
    temp_dir dir;
    const std::string path = dir / "out.bin";
    write_file(path, "old");
    {
        guide_file file(path);
        put(file, "never committed");
    }
    EXPECT_EQ(read_file(path), "old");
    EXPECT_EQ(names_in(dir.path()), names{"out.bin"});
}

TEST(GuideFile, CannotBeCreated) {
    temp_dir dir;
    guide_file in_directory(dir / "");
    EXPECT_FALSE(in_directory.ready());
    EXPECT_FALSE(in_directory.open());
    EXPECT_EQ(in_directory.failure(), dir / "" + ": Is a directory");
    put(in_directory, "x");
    EXPECT_FALSE(in_directory.commit());

    guide_file in_missing_folder(dir / "missing/out.bin");
    EXPECT_FALSE(in_missing_folder.ready());
    EXPECT_EQ(in_missing_folder.failure(), dir / "missing/out.bin" + ": No such file or directory");
    EXPECT_FALSE(fs::exists(dir / "missing"));

    // A loop of links leads nowhere: nothing changes.
    fs::create_symlink("lb", dir / "la");
    fs::create_symlink("la", dir / "lb");
    guide_file in_loop(dir / "la");
    EXPECT_FALSE(in_loop.is_open());
    EXPECT_EQ(in_loop.failure(), dir / "la" + ": Too many levels of symbolic links");
    EXPECT_TRUE(fs::is_symlink(dir / "la"));
    EXPECT_EQ(names_in(dir.path()), (names{"la", "lb"}));
}

TEST(GuideFile, FullDeviceIsWrittenInPlaceAndFails) {
    guide_file small("/dev/full");
    EXPECT_TRUE(small.ready());
    EXPECT_FALSE(small.is_open());
    ASSERT_TRUE(small.open());
    put(small, "x");
    EXPECT_FALSE(small.commit());
    EXPECT_EQ(small.failure(), "/dev/full: No space left on device");

    guide_file big("/dev/full");
    ASSERT_TRUE(big.open());
    put(big, numbered_bytes(3u << 20, 3));
    put(big, "after the failure");
    EXPECT_FALSE(big.commit());
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    // Opening a FIFO waits for its reader: not before the guide is written.
    temp_dir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const guide_file fifo(dir / "fifo");
    EXPECT_TRUE(fifo.ready());
    EXPECT_FALSE(fifo.is_open());
}

// What the path is stays what it was: mode, link, or the umask's choice for
// a new guide.
TEST(GuideFile, KeepsWhatThePathIs) {
    temp_dir dir;
    const std::string kept = dir / "kept.prg";
    write_file(kept, "old");
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(write_guide(kept, "new"));
    EXPECT_EQ(fs::status(kept).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const std::string target = dir / "target.prg", link = dir / "link.prg";
    write_file(target, "old");
    fs::create_symlink("target.prg", link);
    ASSERT_TRUE(write_guide(link, "through the link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file(target), "through the link");

    const mode_t old_mask = ::umask(027);
    const std::string fresh = dir / "fresh.prg";
    const bool written = write_guide(fresh, "new");
    ::umask(old_mask);
    ASSERT_TRUE(written);
    EXPECT_EQ(fs::status(fresh).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names_in(dir.path()), (names{"fresh.prg", "kept.prg", "link.prg", "target.prg"}));
}

// In a child whose files may not grow past `limit` bytes, writes `size` bytes
// in pieces of `piece` and returns what commit() said (exit 1 for true, 0 for
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
        guide_file file(path);
        if (!file.is_open()) ::_exit(3);
        for (std::size_t at = 0; at < size; at += piece)
            file.out().write(bytes.data() + at, std::min(piece, size - at));
        ::_exit(file.commit() ? 1 : 0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(GuideFile, FailedWriteKeepsTheOldGuide) {
    temp_dir dir;
    const std::string buffered = dir / "buffered.bin";
    write_file(buffered, "the old guide");
    EXPECT_EQ(write_with_size_limit(buffered, 64 << 10, 2u << 20, 100), 0);
    EXPECT_EQ(read_file(buffered), "the old guide");

    const std::string direct = dir / "direct.bin";
    EXPECT_EQ(write_with_size_limit(direct, 64 << 10, 3u << 20, 3u << 20), 0);
    EXPECT_FALSE(fs::exists(direct));
    EXPECT_EQ(names_in(dir.path()), names{"buffered.bin"});

    // Within the limit the same child replaces it.
    EXPECT_EQ(write_with_size_limit(buffered, 4u << 20, 2u << 20, 100), 1);
    EXPECT_EQ(fs::file_size(buffered), 2u << 20);

    // A name as long as a name may be: the temporary one is cut short.
    const std::string longest = dir / std::string(NAME_MAX - 4, 'n') + ".prg";
    write_file(longest, "the old guide");
    EXPECT_EQ(write_with_size_limit(longest, 64 << 10, 2u << 20, 100), 0);
    EXPECT_EQ(read_file(longest), "the old guide");
    EXPECT_EQ(write_with_size_limit(longest, 4u << 20, 2u << 20, 100), 1);
    EXPECT_EQ(names_in(dir.path()), (names{"buffered.bin", fs::path(longest).filename()}));
}

// A run stopped in the middle of writing (Ctrl-C, a cron timeout, a closed
// pipe) dies of its signal and leaves the old guide alone.
TEST(GuideFile, SignalWhileWritingKeepsTheOldGuide) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGALRM, SIGXCPU, SIGXFSZ, SIGUSR1, SIGUSR2,
                             SIGVTALRM, SIGPROF, SIGABRT}) {
        temp_dir dir;
        const std::string path = dir / "guide.prg";
        write_file(path, "the old guide");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            guide_file file(path);
            put(file, numbered_bytes(3u << 20, 5));
            ::raise(signal);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "signal " << signal;
        EXPECT_EQ(read_file(path), "the old guide") << "signal " << signal;
        EXPECT_EQ(names_in(dir.path()), names{"guide.prg"}) << "signal " << signal;
    }
}

// Two runs rewriting one guide while a device keeps fetching it: every fetch
// gets one whole guide, and the last rename leaves one whole guide.
TEST(GuideFile, ReadersAndOverlappingRunsSeeWholeGuides) {
    temp_dir dir;
    const std::string path = dir / "guide.prg";
    const std::string guides[] = {numbered_bytes(3u << 20, 6), numbered_bytes(2u << 20, 7)};
    write_file(path, guides[0]);
    std::vector<pid_t> writers;
    for (const std::string& guide : guides) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0; i < 15; ++i)
                if (!write_guide(path, guide)) ::_exit(1);
            ::_exit(0);
        }
        writers.push_back(child);
    }
    int reads = 0, partial = 0, running = 2;
    while (running > 0) {
        const std::string seen = read_file(path);
        ++reads;
        if (seen != guides[0] && seen != guides[1]) ++partial;
        for (pid_t& writer : writers) {
            int status = 0;
            if (writer > 0 && ::waitpid(writer, &status, WNOHANG) == writer) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                writer = 0;
                --running;
            }
        }
    }
    EXPECT_EQ(partial, 0) << "of " << reads << " reads";
    const std::string last = read_file(path);
    EXPECT_TRUE(last == guides[0] || last == guides[1]);
    EXPECT_EQ(names_in(dir.path()), names{"guide.prg"});
}

} // namespace
