// The programmes attached while the listing is read, kept as the records the
// guide will hold (guide_record.hpp) in a spill file rather than in memory,
// so that memory stays flat whatever the listing's size. In memory remain
// each channel's total and the spill's layout: runs of consecutive records
// of one channel (one run per channel for a listing in channel order).
#pragma once

#include "guide/guide_model.hpp"
#include "guide/guide_record.hpp"
#include "guide/output_file.hpp"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The spill could not be written: the guide could not hold every programme,
// so reading stops. what() is "temporary file in FOLDER: CAUSE".
class spill_failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class record_store final : public program_store {
public:
    // A store spilling to a new file that has no name, so that it never
    // outlives the run, in the first of `folders` (temporary_files.hpp) that
    // takes one. Null, after saying why on standard error, when none does.
    static std::unique_ptr<record_store> create_in(const std::vector<std::string>& folders);

    // Reading back, channels are gathered in memory up to this many bytes at
    // a time: a listing in time order, whose channels are interleaved, is
    // read once per such group rather than once per channel.
    static constexpr std::uint64_t default_group_budget = std::uint64_t{8} << 20;

    // Takes over `spill_fd`, an empty file open for reading and writing, in
    // `folder` (named in messages).
    explicit record_store(int spill_fd, std::uint64_t group_budget = default_group_budget,
                          std::string folder = "?");

    // How start and stop times are written; cut to the minute by default.
    void convert_stamps_with(stamp_converter stamps) { stamps_ = std::move(stamps); }
    // How many start or stop times the zone conversion could not read.
    std::uint64_t unreadable_times() const { return stamps_.unreadable(); }

    // Throws spill_failure when the spill cannot be written.
    void store(std::int32_t channel_index, const program_t& program) override;

    // Writes the records of channel `channel_index` to `out`, in order of
    // attachment. Channels are asked for in increasing order, each once.
    void copy_channel_records(std::int32_t channel_index, output_file& out);

    // True once the spill could not be written or read back: the records
    // written are then incomplete.
    bool failed() const { return error_ != 0; }
    // Where and why: "temporary file in FOLDER: CAUSE".
    std::string failure() const;

private:
    struct run {
        std::uint32_t channel;
        std::uint32_t bytes;
    };

    std::uint64_t bytes_of(std::int32_t channel) const;
    void start_reading();
    void load_group(std::int32_t first);
    void stream_channel(std::int32_t channel, output_file& out);
    void fail(int error);
    template <typename Sink> void read_spill(std::uint64_t offset, std::uint64_t size, Sink sink);

    output_file spill_;
    int spill_fd_;
    std::string folder_;
    std::uint64_t group_budget_;
    std::string record_;
    stamp_converter stamps_;
    std::vector<run> runs_;
    std::vector<std::uint64_t> channel_bytes_;
    int error_ = 0;
    bool reading_ = false;

    // Reading back: the channels [group_first_, group_end_) are loaded at
    // once in group_bytes_, or a channel too big for that is streamed.
    std::int32_t group_first_ = 0;
    std::int32_t group_end_ = 0;
    bool streaming_ = false;
    std::vector<char> group_bytes_;
    std::vector<std::uint64_t> group_offsets_;
    std::unique_ptr<char[]> block_;
    std::size_t block_capacity_ = 0;
    std::uint64_t block_start_ = UINT64_MAX;
    std::size_t block_size_ = 0;
};
