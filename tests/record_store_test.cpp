// Attached programmes go to the spill as guide records and come back channel
// by channel, in order of attachment, whatever order they arrived in.
#include "guide/record_store.hpp"
#include "replace/temporary_files.hpp"

#include "guide/guide_record.hpp"
#include "test_files.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

int memory_file() { return ::memfd_create("guidepack-test", MFD_CLOEXEC); }

std::string contents_of(int fd) {
    std::string bytes;
    char chunk[65536];
    ssize_t got;
    for (off_t at = 0; (got = ::pread(fd, chunk, sizeof chunk, at)) > 0; at += got)
        bytes.append(chunk, static_cast<std::size_t>(got));
    return bytes;
}

program_t programme(const std::string& title, const std::string& desc = "") {
    program_t program;
    program[program_field::start] = "20070101200000 +0100";
    program[program_field::stop] = "20070101210000 +0100";
    program[program_field::channel] = "ignored: the store gets the channel's position";
    program[program_field::title] = title;
    if (!desc.empty()) program[program_field::desc] = desc;
    return program;
}

std::string record_of(const program_t& program) {
    std::string record;
    stamp_converter stamps;
    append_program_record(record, program, stamps);
    return record;
}

// What the store writes for channels 0 to `channels` - 1, one after another.
std::string written(record_store& store, int channels) {
    const int fd = memory_file();
    {
        output_file out(::dup(fd));
        for (int c = 0; c < channels; ++c) store.copy_channel_records(c, out);
        EXPECT_TRUE(out.close());
    }
    std::string bytes = contents_of(fd);
    ::close(fd);
    return bytes;
}

struct arrival_case {
    const char* name;
    std::vector<int> channels; // the channel of each programme, in arrival order
};

// Every channel's records, in order, whatever the arrival order and however
// the store gathers and groups channels: all at once, a few at a time, or
// each record spilled and each channel streamed on its own.
TEST(RecordStore, ChannelByChannelInOrderOfAttachment) {
    const arrival_case arrivals[] = {
        {"channel order", {0, 0, 0, 1, 1, 3, 3, 3, 3}},
        {"interleaved", {0, 1, 3, 0, 1, 3, 0, 3, 3}},
        {"reverse", {3, 3, 1, 0, 3, 1, 0, 0, 3}},
        {"time order", {0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 2, 4, 1, 3, 0, 1, 2, 3, 4, 4, 3, 2, 1, 0}},
    };
    for (const arrival_case& arrival : arrivals) {
        for (const std::uint64_t budget : {std::uint64_t{1}, std::uint64_t{700}, record_store::default_group_budget}) {
            SCOPED_TRACE(std::string(arrival.name) + ", budget " + std::to_string(budget));
            record_store store(memory_file(), budget);
            std::vector<std::string> expected(5);
            for (std::size_t i = 0; i < arrival.channels.size(); ++i) {
                // Records of different sizes, so that a misplaced one shows.
                // append(): GCC 12 in Release warns falsely (-Wrestrict) on "T" + a string.
                const program_t program =
                    programme(std::string("T").append(std::to_string(i)), std::string(i * 37, 'd'));
                store.store(arrival.channels[i], program);
                expected[static_cast<std::size_t>(arrival.channels[i])] += record_of(program);
            }
            std::string all;
            for (const std::string& channel : expected) all += channel;
            EXPECT_TRUE(written(store, 5) == all);
            EXPECT_FALSE(store.failed());
            // Each record read back once, whatever the order.
            EXPECT_EQ(store.counts().written, all.size());
            EXPECT_EQ(store.counts().read_back, all.size());
        }
    }
}

// Ordered by start, each channel's records come back in the order of their
// start instants, ties and unreadable starts (last) in order of attachment;
// the channels in the order asked, however the records were spilled.
TEST(RecordStore, OrderedByStartInTheChannelOrderAsked) {
    struct arrival {
        int channel;
        const char* start;
    };
    const arrival arrivals[] = {
        {1, "20240301200000 +0000"}, {0, "20240301210000 +0000"}, {1, "20240301190000 +0000"},
        {0, "soon"},                 {0, "20240301230000 +0200"}, {1, "20240301200000 +0000"},
        {0, "20240301200000 +0000"}, {2, "later"},                {0, "20240301220000 +0100"},
        {1, "20240301180000 +0000"}, {0, "20240301190000 +0000"}, {2, "20240301190000 +0000"},
    };
    // By channel, the arrivals in the order expected: 21:00Z ties go by arrival.
    const std::vector<std::vector<int>> expected = {{10, 6, 1, 4, 8, 3}, {9, 2, 0, 5}, {11, 7}};
    for (const std::uint64_t budget : {std::uint64_t{1}, std::uint64_t{700}, record_store::default_group_budget}) {
        SCOPED_TRACE("budget " + std::to_string(budget));
        record_store store(memory_file(), budget);
        store.order_by_start();
        std::vector<program_t> programmes;
        for (std::size_t i = 0; i < std::size(arrivals); ++i) {
            program_t program = programme(std::string("T").append(std::to_string(i)), std::string(i * 37, 'd'));
            program[program_field::start] = arrivals[i].start;
            store.store(arrivals[i].channel, program);
            programmes.push_back(program);
        }
        store.read_back_in({2, 0, 3, 1});
        std::string all;
        for (const int channel : {2, 0, 1})
            for (const int i : expected[static_cast<std::size_t>(channel)])
                all += record_of(programmes[static_cast<std::size_t>(i)]);
        const int fd = memory_file();
        {
            output_file out(::dup(fd));
            for (const int channel : {2, 0, 3, 1}) store.copy_channel_records(channel, out);
            EXPECT_TRUE(out.close());
        }
        EXPECT_TRUE(contents_of(fd) == all);
        ::close(fd);
        EXPECT_FALSE(store.failed());
    }
}

// Kept as the guide holds it: times to the minute, single-byte text, absent
// and empty fields both empty.
TEST(RecordStore, RecordsAreTheGuideForm) {
    record_store store(memory_file());
    program_t program = programme("Film");
    program[program_field::subtitle] = "";
    program[program_field::category] = "Drama/Crime";
    program[program_field::desc] = std::string("a\0b\n\xC3\xA9", 6);
    program[program_field::rating] = "д/с Необыкновенные";
    store.store(0, program);
    // Each н (D0 BD) gives "oe", as any 0xBD byte does.
    EXPECT_EQ(written(store, 1), "\x0C\0" "200701012000" "\x0C\0" "200701012100" "\x04\0" "Film"
                                 "\0\0" "\x0B\0" "Drama/Crime" "\0\0\0\0\0\0\0\0"
                                 "\x05\0" "a\0b\n\xE9" "\x08\0" "/ oeoeoe"s);
}

// The first spill write that fails stops the reading, saying where and why.
TEST(RecordStore, SpillThatCannotBeWrittenFails) {
    // Records gathered 64 KiB at a time, so that writes begin early.
    record_store store(::open("/dev/full", O_RDWR | O_CLOEXEC), std::uint64_t{64} << 10, "/dev");
    int stored = 0;
    try {
        for (; stored < 5000; ++stored) store.store(0, programme("T", std::string(1000, 'd')));
    } catch (const spill_failure& failure) {
        EXPECT_STREQ(failure.what(), "temporary file in /dev: No space left on device");
    }
    EXPECT_LT(stored, 5000);
    EXPECT_TRUE(store.failed());
}

TEST(RecordStore, SpillLeavesNothingBehind) {
    temp_dir dir;
    {
        const auto store = record_store::create_in({dir.path()});
        ASSERT_TRUE(store);
        store->store(0, programme("T"));
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
        EXPECT_EQ(written(*store, 1), record_of(programme("T")));
    }
    // A folder that takes no file: the next one instead.
    const auto elsewhere = record_store::create_in({dir / "missing", system_temporary_folder()});
    ASSERT_TRUE(elsewhere);
    elsewhere->store(2, programme("U"));
    EXPECT_EQ(written(*elsewhere, 3), record_of(programme("U")));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
